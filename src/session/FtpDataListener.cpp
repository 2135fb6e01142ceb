#include "FtpDataListener.h"

#include "FtpDataSocket.h"

#include <QTcpSocket>

void FtpDataListener::incomingConnection(qintptr handle)
{
    QTcpSocket *socket = m_control ? FtpDataSocket::create(true, *m_control, this) : new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle, QAbstractSocket::ConnectedState, m_mode)) {
        delete socket;
        return;
    }
    addPendingConnection(socket);
}
