#pragma once

#include <QString>

// The status bar as the panes see it: the status line and the totals panels.
class StatusPanels
{
public:
    virtual ~StatusPanels() = default;
    // key: "" the status line, "local", "remote" or "queue" a totals panel.
    virtual void showStatus(const QString &key, const QString &text) = 0;
    bool SetStatusLine(const QString &text)
    {
        showStatus({}, text);
        return true;
    }
};
