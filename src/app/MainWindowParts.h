#pragma once

class DragDrop;
class LocalPane;
class QueuePane;
class RemoteOperations;
class RemotePane;
class formmain;

// The composition root of the main window: the one place that knows both the window and its
// panes. It hands each pane the controls and services it uses and links the panes to one
// another through their narrow interfaces; no pane sees the window itself.
struct MainWindowParts
{
    LocalPane *local = nullptr;
    RemotePane *remote = nullptr;
    QueuePane *queue = nullptr;
    RemoteOperations *remoteOperations = nullptr;
    DragDrop *dragDrop = nullptr;

    // The panes are children of the window; its controls, menus and log exist already.
    static MainWindowParts build(formmain &window);
};
