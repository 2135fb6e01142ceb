#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// What both SSH test servers share: a script started with QProcess on 127.0.0.1, a temporary
// folder whose "root/" the server serves, and the server's host key. Stopped by the destructor.
class TestSshProcess
{
public:
    virtual ~TestSshProcess();
    TestSshProcess(const TestSshProcess &) = delete;
    TestSshProcess &operator=(const TestSshProcess &) = delete;

    bool isRunning() const { return m_port != 0; }
    QString skipReason() const { return m_skip; } // why it cannot run here: QSKIP it
    QString errorText() const { return m_error; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString folder() const { return m_dir.path(); } // the script's work folder, with its server.log
    QString rootPath() const { return m_dir.path() + QStringLiteral("/root"); }

    // "[127.0.0.1]:port ssh-ed25519 BASE64": the server's entry for a known_hosts file.
    QString hostKeyLine() const;

    // Helpers on the server's side of the files, relative to rootPath().
    QString pathOf(const QString &relative) const;
    bool writeFile(const QString &relative, const QByteArray &data) const;
    QByteArray readFile(const QString &relative) const;

protected:
    TestSshProcess();
    // Runs /usr/bin/python3 SCRIPT ARGS and waits for "PORT n" (or "SKIP reason").
    void start(const QString &script, const QStringList &args);
    QString m_hostKeyPub; // the .pub file of the server's ed25519 host key
    QString m_skip;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

// OpenSSH's sshd (tests/support/sshd.py), SFTP only, public-key logins as root. Needs root and
// openssh-server: otherwise not running, with skipReason() saying why (QSKIP it). The session starts
// in rootPath(), and remote paths are this machine's: rootPath() + "/name".
class TestSshServer : public TestSshProcess
{
public:
    // extraArgs: "--known-hosts", file, "--hashed", "--changed", ... (see the script)
    explicit TestSshServer(const QStringList &extraArgs = {});
    ~TestSshServer() override;

    QString user() const { return QStringLiteral("root"); }
    // Laid out like ~/.ssh: id_ed25519 and id_rsa without passphrase, id_ecdsa with passphrase().
    QString clientKeyFolder() const { return folder() + QStringLiteral("/client"); }
    QString passphrase() const { return QStringLiteral("open-Sesame7"); }
    // A home folder whose .ssh is clientKeyFolder() (a link), for a test that sets HOME.
    QString homePath() const { return folder() + QStringLiteral("/home"); }

    // An ssh-agent holding the client key KEYNAME (one without a passphrase),
    // stopped with the server; the socket path for SSH_AUTH_SOCK, empty when it could not start.
    // Once per server.
    QString startAgent(const QString &keyName = QStringLiteral("id_ed25519"));

private:
    QProcess m_agent;
};

// The scripted SFTP server (tests/support/sftpserver.py on paramiko): user "tester" with a password,
// keyboard-interactive, and faults on demand. rootPath() is its "/", where the session starts.
class TestSftpScript : public TestSshProcess
{
public:
    // extraArgs: "--only-methods", "password", "--cut-after", "4096", "--many", "10000", ...
    explicit TestSftpScript(const QStringList &extraArgs = {});

    QString user() const { return QStringLiteral("tester"); }
    QString password() const { return QStringLiteral("s3cret-Pw"); }
    // The login attempts so far, one "method user" a line: nothing means no secret was sent.
    QString logins() const;
};
