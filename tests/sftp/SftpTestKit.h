#pragma once

#include "SftpSession.h"
#include "TestSshServer.h"
#include "TestSupport.h"

#include <QtTest>

// Ends the test unless the server runs: skipped where it cannot run here, failed otherwise.
#define SSH_SERVER_UP(server)                                                                                          \
    do {                                                                                                               \
        if (!(server).skipReason().isEmpty())                                                                          \
            QSKIP(qPrintable((server).skipReason()));                                                                  \
        QVERIFY2((server).isRunning(), qPrintable((server).errorText()));                                              \
    } while (0)

// A session to one of the test servers that answers the host key question with `answer` and logs
// in with the keys of sshFolder (a folder without any by default).
struct Connected
{
    SftpSession session;
    QList<SshHostKey> asked;
    SshTrust answer = SshTrust::Once;
    FtpOptions options;

    explicit Connected(const TestSshProcess &server, const QString &sshFolder = {})
    {
        options.host = server.host();
        options.port = server.port();
        options.protocol = RemoteProtocol::Sftp;
        options.timeoutMs = 10000;
        session.setSshFolder(sshFolder.isEmpty() ? server.folder() + QStringLiteral("/no-keys") : sshFolder);
        session.setHostKeyCheck([this](const SshHostKey &key) { return asked.append(key), answer; });
    }
    bool open(const QString &user, const QString &password = {})
    {
        options.user = user;
        options.password = password;
        return session.open(options);
    }
    // The login log and the last reply, a line each: what the user could ever read of the login.
    QString shown() const
    {
        QString text;
        for (const RemoteSession::LogLine &line : session.loginLog())
            text += line.text + QLatin1Char('\n');
        return text + session.lastResponseInfo();
    }
};

inline QByteArray readAll(RemoteFile &file, bool *failed = nullptr, int chunk = 10000)
{
    QByteArray out, buffer(chunk, '\0');
    qint64 n;
    while ((n = file.read(buffer.data(), chunk)) > 0)
        out.append(buffer.constData(), n);
    if (failed)
        *failed = n < 0;
    return out;
}

using TestSupport::pattern;
