#pragma once

#include <QObject>

class formmain;

// Renaming, deleting and creating remote files and folders, raw commands and the password change.
class RemoteOperations : public QObject
{
    Q_OBJECT
public:
    explicit RemoteOperations(formmain &window);

private:
    formmain &m_window;
};
