#include "MainWindowParts.h"

#include "DragDrop.h"
#include "LocalPane.h"
#include "QueuePane.h"
#include "RemoteOperations.h"
#include "RemotePane.h"
#include "formmain.h"

MainWindowParts MainWindowParts::build(formmain &w)
{
    const PaneServices services{w.state(), w.prompter(), w.sessionLog(), w, w.iconCache(), w.actions(), w};
    MainWindowParts parts;
    parts.local = new LocalPane(services, {w.TreeView1, w.localTree, w.txtLocal, w.ListView3});
    parts.remote = new RemotePane(services, {w.txtServer, w.txtUsername, w.txtPassword, w.txtPort, w.txtProxy,
                                             w.txtKeep, w.txtTimeout, w.checkType, w.btnConnect, w.TreeView2,
                                             w.remoteTree, w.txtDirectory, w.ListView1, w.timeKeep, w.timeOut,
                                             w.padlock()});
    parts.queue = new QueuePane(services, {w.ListView1, w.ListView2, w.ListView3, w.TreeView1, w.TreeView2, w.localTree, w.queueArea},
                                *parts.remote, *parts.local);
    parts.remote->setTransfers(*parts.queue);
    parts.remoteOperations = new RemoteOperations(services, {w.ListView1, w.TreeView2, w.remoteTree}, *parts.remote);
    parts.dragDrop = new DragDrop(services, {w.ListView1, w.ListView3, w.TreeView1, w.TreeView2, w.localTree, w.remoteTree},
                                  *parts.remote, *parts.local, *parts.queue);
    return parts;
}
