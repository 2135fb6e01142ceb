#pragma once

#include <QObject>

class formmain;

// The remote side of the main window: connecting, the remote tree, path field and file list.
class RemotePane : public QObject
{
    Q_OBJECT
public:
    explicit RemotePane(formmain &window);

private:
    formmain &m_window;
};
