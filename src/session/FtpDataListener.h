#pragma once

#include <QTcpServer>

// Listens for the server's data connection in active mode, and opens the accepted socket in the
// mode the transfer wants (unbuffered for uploads, which gather their own large writes).
class FtpDataListener : public QTcpServer
{
    Q_OBJECT
public:
    FtpDataListener(QIODevice::OpenMode mode, QObject *parent) : QTcpServer(parent), m_mode(mode) {}

protected:
    void incomingConnection(qintptr handle) override;

private:
    QIODevice::OpenMode m_mode;
};
