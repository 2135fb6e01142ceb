#pragma once

#include <QObject>
#include <QTcpServer>

// A minimal SOCKS5 proxy for tests: no authentication, CONNECT only, to IPv4 addresses or names
// that are IP addresses. Counts the connections it relayed.
class Socks5Relay : public QObject
{
    Q_OBJECT
public:
    Socks5Relay();
    quint16 port() const { return m_server.serverPort(); }
    int relayed() const { return m_relayed; }

private:
    void onConnection();

    QTcpServer m_server;
    int m_relayed = 0;
};
