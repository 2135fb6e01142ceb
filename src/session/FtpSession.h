#pragma once

#include "FtpCertificate.h"
#include "FtpContext.h"
#include "FtpControl.h"
#include "FtpFile.h"
#include "FtpListParser.h"
#include "FtpPattern.h"
#include "FtpOperation.h"
#include "FtpTypes.h"
#include "RemoteSession.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class FtpOperation;
class FtpTransferOperation;
class QEventLoop;

// One FTP connection with blocking calls. Each call runs its exchange asynchronously and waits
// in a local event loop, so the window stays responsive. Only one exchange holds the connection
// at a time.
class FtpSession : public RemoteSession
{
    Q_OBJECT
public:
    // Longer commands are refused, not sent: servers cut them or drop the connection.
    static constexpr int MaxCommandBytes = 4096;

    explicit FtpSession(QObject *parent = nullptr);
    ~FtpSession() override;

    RemoteProtocol protocol() const override { return RemoteProtocol::Ftp; }
    bool open(const FtpOptions &options) override; // connect and log in
    // Asked when the server's certificate cannot be verified, before anything secret is sent; no
    // check means such a certificate is refused. The check may run events (a question box).
    void setCertificateCheck(FtpCertificateCheck check) { m_certificateCheck = std::move(check); }
    bool isEncrypted() const override { return m_open && m_control.isEncrypted(); }
    // The SHA-256 fingerprint of the certificate the server showed; empty without TLS.
    QString certificateFingerprint() const override;
    // The options the connection was opened with, a certificate the user accepted for it among
    // them: another connection opened with them to the same server asks nothing again.
    FtpOptions openedWith() const override { return m_ctx.options; }
    bool protectsData() const override { return m_open && m_ctx.protectData; }
    void close() override; // sends nothing; ends any call in progress
    bool isOpen() const override { return m_open; }
    bool isBusy() const override { return m_current != nullptr; }
    void setTimeout(int ms) override { m_ctx.options.timeoutMs = ms; }
    int timeout() const override { return m_ctx.options.timeoutMs; }

    // Raw: success is a final reply below 400. Secrets are hidden in the announced line.
    bool command(const QString &text, Echo echo = Echo::Logged, const QStringList &secrets = {}) override;
    bool keepAlive() override;
    bool setCurrentDirectory(const QString &path) override;
    bool createDirectory(const QString &path) override;
    bool removeDirectory(const QString &path) override;
    bool renameFile(const QString &from, const QString &to) override;
    bool deleteFile(const QString &path) override;

    using RemoteSession::list;
    bool list(const QString &folder, const QString &pattern, QList<FtpEntry> &out) override;

    // SIZE: the file's size in bytes, -1 when the server does not tell.
    qint64 fileSize(const QString &path) override;
    // From byte offset on (binary only; the file's offset() says where the server really began).
    std::unique_ptr<RemoteFile> openFile(const QString &remotePath, RemoteFile::Mode mode, FtpTransferType type,
                                         qint64 offset = 0) override;

private:
    friend class FtpFile;

    bool ready();
    bool encodeCommand(const QString &verb, const QString &argument, QByteArray &out);
    bool simple(const QString &verb, const QString &argument);
    bool run(FtpOperation *operation, bool untilOpened = false);
    void conclude(FtpOperation *operation);
    bool finishFile(FtpTransferOperation *operation, bool dataComplete, qint64 received);
    void setLastResponse(const QByteArray &text, int code) override;
    void dropConnection();
    void appendLoginLog(const QList<FtpOperation::Line> &lines);
    void onReply(const FtpReply &reply);
    void onCommandSent(const QByteArray &line);
    void onLost(const QString &why);
    void addEntry(FtpListParser::Line &&line, const FtpPattern &match, QList<FtpEntry> &out);

    FtpControl m_control;
    FtpContext m_ctx;
    FtpOperation *m_current = nullptr;
    QEventLoop *m_loop = nullptr;
    bool m_open = false;
    FtpCertificateCheck m_certificateCheck;
    bool m_loggingIn = false;
    QStringList m_commandSecrets; // of the command() under way
};
