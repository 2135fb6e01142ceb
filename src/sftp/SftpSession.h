#pragma once

#include "FtpNameCodec.h"
#include "RemoteSession.h"
#include "SshHostKey.h"

#include <QByteArray>
#include <functional>
#include <libssh/libssh.h>
#include <memory>

class SftpFile;
class SshLink;

// One SFTP connection over SSH (libssh) with the calls the panes, the walks and the engine make
// of any remote session. The server's host key is checked against ~/.ssh/known_hosts and the
// program's own store before anything secret is sent; then the agent's keys, the key files of
// ~/.ssh, the password and keyboard-interactive are tried in turn. Replies read like FTP's
// (a code and the server's text) so that the log and the retry rules treat both alike.
class SftpSession : public RemoteSession
{
    Q_OBJECT
public:
    explicit SftpSession(QObject *parent = nullptr);
    ~SftpSession() override;

    // Asked for a key that is unknown or not the one on record; without a check such a key is
    // refused. A key whose SHA-256 is the options' trustedCertificate is taken without asking.
    void setHostKeyCheck(SshHostKeyCheck check) { m_hostKeyCheck = std::move(check); }
    void setPassphraseSource(SshPassphraseSource source) { m_passphrase = std::move(source); }
    // The program's own store of trusted keys (OpenSSH format); "Always trust" adds to it.
    void setTrustedKeysFile(const QString &path) { m_trustedKeysFile = path; }
    // Where the user's keys and known_hosts are looked for; ~/.ssh unless set.
    void setSshFolder(const QString &path) { m_sshFolder = path; }

    RemoteProtocol protocol() const override { return RemoteProtocol::Sftp; }
    bool open(const FtpOptions &options) override;
    bool isEncrypted() const override { return m_open; }
    QString certificateFingerprint() const override { return m_open ? m_hostKey : QString(); }
    FtpOptions openedWith() const override { return m_options; }
    void close() override;
    bool isOpen() const override { return m_open; }
    bool isBusy() const override { return m_busy || m_file; }
    void setTimeout(int ms) override { m_options.timeoutMs = ms; }
    int timeout() const override { return m_options.timeoutMs; }

    bool command(const QString &text, Echo echo = Echo::Logged, const QStringList &secrets = {}) override;
    bool keepAlive() override;
    bool setCurrentDirectory(const QString &path) override;
    bool createDirectory(const QString &path) override;
    bool removeDirectory(const QString &path) override;
    bool renameFile(const QString &from, const QString &to) override;
    bool deleteFile(const QString &path) override;
    using RemoteSession::list;
    bool list(const QString &folder, const QString &pattern, QList<FtpEntry> &out) override;
    qint64 fileSize(const QString &path) override;
    std::unique_ptr<RemoteFile> openFile(const QString &remotePath, RemoteFile::Mode mode, FtpTransferType type,
                                         qint64 offset = 0) override;

    QString currentFolder() const { return m_cwd; }

private:
    friend class SftpFile;

    bool ready();
    // Runs fn (libssh calls) where blocking is allowed; false with the failure as the last reply.
    bool call(const QString &logged, const std::function<bool()> &fn, const QString &otherwise = {});
    bool succeed(const QString &text, int code);
    bool fail(const QString &otherwise);
    void lost();
    QByteArray pathBytes(const QString &path) const; // absolute, in the server's bytes
    QString absolute(const QString &path) const;
    void logLine(LogLine::Kind kind, const QString &text) { m_loginLog.append({kind, text}); }

    bool connectAndCheckKey(const FtpOptions &options);
    bool logIn(const FtpOptions &options);
    bool startSftp();
    ssh_key loadKey(const QString &path, const FtpOptions &options);
    void fileClosed(SftpFile *file);

    std::unique_ptr<SshLink> m_link;
    FtpOptions m_options;
    FtpNameCodec m_names;
    QString m_cwd = QStringLiteral("/");
    QString m_hostKey; // "ssh-ed25519 SHA256:..."
    QString m_trustedKeysFile;
    QString m_sshFolder;
    SshHostKeyCheck m_hostKeyCheck;
    SshPassphraseSource m_passphrase;
    SftpFile *m_file = nullptr;
    bool m_open = false;
    bool m_busy = false;
    bool m_saidBinary = false;
    quint32 m_block = 32 * 1024; // of a read or write request, by what the server is
};
