#pragma once

#include "Prompter.h"
#include "StatusPanels.h"

#include <QAction>
#include <QHash>

class AppState;
class FileIconCache;
class SessionLog;

// What the panes of the main window share: the state, the prompter, the log, the status bar,
// the icon cache and the menu items by name. Built once by MainWindowParts; a test builds its own.
struct PaneServices
{
    AppState &state;
    Prompter &prompter;
    SessionLog &log;
    StatusPanels &status;
    FileIconCache &icons;
    const QHash<QString, QAction *> &actions;
    QWidget &window; // owns the panes and their windows

    // The named menu item runs a slot of the pane; a menu without the item runs nothing.
    template <class Pane> void onAction(const char *name, Pane *pane, void (Pane::*slot)()) const
    {
        if (QAction *a = actions.value(QString::fromLatin1(name)))
            QObject::connect(a, &QAction::triggered, pane, slot);
    }
    void enableActions(const QStringList &names, bool enabled) const
    {
        for (const QString &name : names)
            if (QAction *a = actions.value(name))
                a->setEnabled(enabled);
    }
};
