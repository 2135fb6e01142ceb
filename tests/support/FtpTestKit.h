#pragma once

#include "FtpSession.h"
#include "TestFtpServer.h"
#include "TestSupport.h"

// What the tests of sessions share: options that log in to a test server, data that shows where a
// transfer went wrong, whole transfers through the block API.
namespace FtpTestKit {

using TestSupport::contentOf;
using TestSupport::writeFile;

inline FtpOptions options(const QString &host, quint16 port, const QString &user, const QString &password,
                          int timeoutMs = 10000)
{
    FtpOptions o;
    o.host = host, o.port = port, o.user = user, o.password = password, o.timeoutMs = timeoutMs;
    return o;
}

inline FtpOptions options(const TestFtpServer &server, bool passive = true, FtpSecurity security = FtpSecurity::Auto)
{
    FtpOptions o = options(server.host(), server.port(), server.user(), server.password());
    o.passive = passive, o.security = security;
    return o;
}

// No run of equal bytes and no short period: a lost, doubled or moved block shows.
inline QByteArray pattern(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 131 + i / 251) & 0xff);
    return data;
}

// The bytes, or a text in angle brackets that says what failed.
inline QByteArray download(FtpSession &s, const QString &path, FtpTransferType type = FtpTransferType::Binary,
                           qint64 block = 65536)
{
    auto file = s.openFile(path, RemoteFile::Read, type);
    QByteArray out, buffer(block, '\0');
    qint64 n = -1;
    while (file && (n = file->read(buffer.data(), block)) > 0)
        out += buffer.left(n);
    return file && n == 0 && file->close() ? out : "<failed: " + s.lastResponseInfo().toUtf8() + ">";
}

// From byte offset on, to continue a file the server holds in part.
inline bool upload(FtpSession &s, const QString &path, const QByteArray &data,
                   FtpTransferType type = FtpTransferType::Binary, qint64 block = 100000, qint64 offset = 0)
{
    auto file = s.openFile(path, RemoteFile::Write, type, offset);
    for (qint64 i = offset; file && i < data.size(); i += block)
        if (file->write(data.constData() + i, qMin(block, data.size() - i)) != qMin(block, data.size() - i))
            return false;
    return file && file->close();
}

} // namespace FtpTestKit
