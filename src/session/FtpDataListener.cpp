#include "FtpDataListener.h"

#include <QTcpSocket>

void FtpDataListener::incomingConnection(qintptr handle)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(handle, QAbstractSocket::ConnectedState, m_mode)) {
        delete socket;
        return;
    }
    addPendingConnection(socket);
}
