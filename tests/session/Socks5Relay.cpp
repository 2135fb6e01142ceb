#include "Socks5Relay.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

// Parses "05 01 00 ATYP ADDR PORT"; returns false until the request is complete.
bool parseRequest(const QByteArray &b, QHostAddress &address, quint16 &port, qsizetype &length)
{
    if (b.size() < 5)
        return false;
    qsizetype at = 4;
    if (b[3] == 1) {
        if (b.size() < 10)
            return false;
        address = QHostAddress(quint32(uchar(b[4])) << 24 | uchar(b[5]) << 16 | uchar(b[6]) << 8 | uchar(b[7]));
        at = 8;
    } else if (b[3] == 3) {
        const int n = uchar(b[4]);
        if (b.size() < 5 + n + 2)
            return false;
        address = QHostAddress(QString::fromLatin1(b.mid(5, n)));
        at = 5 + n;
    } else {
        return false;
    }
    port = quint16(uchar(b[at]) << 8 | uchar(b[at + 1]));
    length = at + 2;
    return true;
}

} // namespace

Socks5Relay::Socks5Relay()
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, &Socks5Relay::onConnection);
}

void Socks5Relay::onConnection()
{
    QTcpSocket *client = m_server.nextPendingConnection();
    auto *target = new QTcpSocket(client);
    auto *stage = new int(0);
    auto *pending = new QByteArray;
    connect(client, &QObject::destroyed, [stage, pending] {
        delete stage;
        delete pending;
    });
    connect(client, &QTcpSocket::readyRead, this, [this, client, target, stage, pending] {
        *pending += client->readAll();
        if (*stage == 0 && pending->size() >= 2 && pending->size() >= 2 + uchar((*pending)[1])) {
            pending->remove(0, 2 + uchar((*pending)[1]));
            client->write(QByteArray("\x05\x00", 2));
            *stage = 1;
        }
        QHostAddress address;
        quint16 port = 0;
        qsizetype length = 0;
        if (*stage == 1 && parseRequest(*pending, address, port, length)) {
            pending->remove(0, length);
            *stage = 2;
            ++m_relayed;
            target->connectToHost(address, port);
        }
        if (*stage == 3 && !pending->isEmpty()) {
            target->write(*pending);
            pending->clear();
        }
    });
    connect(target, &QTcpSocket::connected, client, [client, target, stage, pending] {
        client->write(QByteArray("\x05\x00\x00\x01\x7f\x00\x00\x01\x00\x00", 10));
        *stage = 3;
        target->write(*pending);
        pending->clear();
    });
    connect(target, &QTcpSocket::readyRead, client, [client, target] { client->write(target->readAll()); });
    connect(target, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
    connect(client, &QTcpSocket::disconnected, client, [client, target] {
        target->disconnectFromHost();
        client->deleteLater();
    });
}
