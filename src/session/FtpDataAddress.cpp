#include "FtpDataAddress.h"

#include <QList>

namespace FtpDataAddress {

std::optional<Endpoint> parsePasv(const QByteArray &reply)
{
    // Skip the reply code itself; then collect runs of digits.
    QList<uint> numbers;
    qsizetype i = 3;
    while (i < reply.size() && numbers.size() < 6) {
        if (reply[i] < '0' || reply[i] > '9') {
            ++i;
            continue;
        }
        uint value = 0;
        while (i < reply.size() && reply[i] >= '0' && reply[i] <= '9' && value < 1000)
            value = value * 10 + uint(reply[i++] - '0');
        numbers.append(value);
    }
    if (numbers.size() < 6)
        return std::nullopt;
    for (uint n : numbers) {
        if (n > 255)
            return std::nullopt;
    }
    const quint32 ip = (numbers[0] << 24) | (numbers[1] << 16) | (numbers[2] << 8) | numbers[3];
    const quint16 port = quint16(numbers[4] * 256 + numbers[5]);
    if (port == 0)
        return std::nullopt;
    return Endpoint{QHostAddress(ip), port};
}

std::optional<quint16> parseEpsv(const QByteArray &reply)
{
    const qsizetype open = reply.indexOf('(');
    if (open < 0 || open + 4 >= reply.size())
        return std::nullopt;
    const char d = reply[open + 1];
    if (reply[open + 2] != d || reply[open + 3] != d)
        return std::nullopt;
    const qsizetype close = reply.indexOf(d, open + 4);
    if (close < 0 || close + 1 >= reply.size() || reply[close + 1] != ')')
        return std::nullopt;
    bool ok = false;
    const uint port = reply.mid(open + 4, close - open - 4).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

bool isUnroutable(const QHostAddress &address)
{
    if (address.isNull() || address.isLoopback() || address.isLinkLocal() || address.isUniqueLocalUnicast())
        return true;
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6)
        return true;
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    if (!v4)
        return false;
    return (ip >> 24) == 10 || (ip >> 20) == (172 << 4 | 1) || (ip >> 16) == (192 << 8 | 168) ||
           (ip >> 22) == (100 << 2 | 1) || ip == 0;
}

QByteArray portArgument(const QHostAddress &address, quint16 port)
{
    const quint32 ip = address.toIPv4Address();
    return QByteArray::number(ip >> 24) + ',' + QByteArray::number((ip >> 16) & 255) + ',' +
           QByteArray::number((ip >> 8) & 255) + ',' + QByteArray::number(ip & 255) + ',' +
           QByteArray::number(port >> 8) + ',' + QByteArray::number(port & 255);
}

QByteArray eprtArgument(const QHostAddress &address, quint16 port)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    QHostAddress plain = v4 ? QHostAddress(ip) : address;
    plain.setScopeId(QString());
    const QByteArray text = plain.toString().toLatin1();
    return QByteArray(v4 ? "|1|" : "|2|") + text + '|' + QByteArray::number(port) + '|';
}

} // namespace FtpDataAddress
