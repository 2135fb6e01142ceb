#pragma once

#include <QTcpServer>

class FtpControl;

// Listens for the server's data connection in active mode, and opens the accepted socket in the
// mode the transfer wants (unbuffered for uploads, which gather their own large writes). With
// data protection the accepted socket is a TLS client socket, as FTP over TLS has it.
class FtpDataListener : public QTcpServer
{
    Q_OBJECT
public:
    FtpDataListener(QIODevice::OpenMode mode, const FtpControl *protectWith, QObject *parent)
        : QTcpServer(parent), m_mode(mode), m_control(protectWith)
    {
    }

protected:
    void incomingConnection(qintptr handle) override;

private:
    QIODevice::OpenMode m_mode;
    const FtpControl *m_control; // null: plain data
};
