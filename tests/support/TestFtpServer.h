#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server (tests/support/ftpserver.py on pyftpdlib) on 127.0.0.1 with a free port,
// one user and a fresh root folder. Started by the constructor, stopped by the destructor.
class TestFtpServer
{
public:
    // extraArgs: "--no-mlsd", "--record", path, ...
    explicit TestFtpServer(const QStringList &extraArgs = {});
    ~TestFtpServer();
    TestFtpServer(const TestFtpServer &) = delete;
    TestFtpServer &operator=(const TestFtpServer &) = delete;

    bool isRunning() const { return m_port != 0; }
    QString errorText() const { return m_error; }
    QString host() const { return m_host; } // 127.0.0.1 unless "--host" said otherwise
    quint16 port() const { return m_port; }
    QString user() const { return QStringLiteral("tester"); }
    QString password() const { return QStringLiteral("s3cret-Pw"); }
    QString rootPath() const { return m_root.path(); }

    // Helpers on the server's side of the files.
    QString pathOf(const QString &relative) const;
    bool writeFile(const QString &relative, const QByteArray &data) const;
    QByteArray readFile(const QString &relative) const;

    static QString scriptPath();

private:
    bool waitUntilAccepting(int timeoutMs);

    QTemporaryDir m_root;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_host = QStringLiteral("127.0.0.1");
    QString m_error;
};
