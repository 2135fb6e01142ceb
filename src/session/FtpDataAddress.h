#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <optional>

// The address texts of data connections: PASV/EPSV replies in, PORT/EPRT arguments out.
namespace FtpDataAddress {

struct Endpoint
{
    QHostAddress address;
    quint16 port = 0;
};

// 227: the first six numbers of the reply text, whatever the punctuation around them.
std::optional<Endpoint> parsePasv(const QByteArray &reply);
// 229: "(<d><d><d>port<d>)" with any delimiter; only the port is carried.
std::optional<quint16> parseEpsv(const QByteArray &reply);
// Addresses a server behind NAT or a misconfigured one reports: private, loopback, any, link-local.
bool isUnroutable(const QHostAddress &address);

QByteArray portArgument(const QHostAddress &address, quint16 port); // "h1,h2,h3,h4,p1,p2"
QByteArray eprtArgument(const QHostAddress &address, quint16 port); // "|1|addr|port|"

} // namespace FtpDataAddress
