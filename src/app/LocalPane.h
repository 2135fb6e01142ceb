#pragma once

#include <QObject>

class formmain;

// The local side of the main window: folder tree, path field and file list, and the local
// file operations. Its slots gather what the user gave and call the local core.
class LocalPane : public QObject
{
    Q_OBJECT
public:
    explicit LocalPane(formmain &window);

    void ListDrives();
    void ClientGetDirectoryContents();

private:
    formmain &m_window;
};
