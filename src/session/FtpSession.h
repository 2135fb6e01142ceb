#pragma once

#include "FtpCertificate.h"
#include "FtpContext.h"
#include "FtpControl.h"
#include "FtpFile.h"
#include "FtpListParser.h"
#include "FtpPattern.h"
#include "FtpOperation.h"
#include "FtpTypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class FtpOperation;
class FtpTransferOperation;
class QEventLoop;

// One FTP connection with blocking calls. Each call runs its exchange asynchronously and waits
// in a local event loop, so the window stays responsive; close() from an event that runs
// meanwhile ends the waiting call with a failure. Only one exchange holds the connection at a
// time: a call made during another one, or while a file is open, fails at once as busy.
// After every call lastResponseInfo() holds the server's reply text (never a password).
class FtpSession : public QObject
{
    Q_OBJECT
public:
    // Longer commands are refused, not sent: servers cut them or drop the connection.
    static constexpr int MaxCommandBytes = 4096;

    explicit FtpSession(QObject *parent = nullptr);
    ~FtpSession() override;

    bool open(const FtpOptions &options); // connect and log in
    // Asked when the server's certificate cannot be verified, before anything secret is sent; no
    // check means such a certificate is refused. The check may run events (a question box).
    void setCertificateCheck(FtpCertificateCheck check) { m_certificateCheck = std::move(check); }
    bool isEncrypted() const { return m_open && m_control.isEncrypted(); }
    // The SHA-256 fingerprint of the certificate the server showed; empty without TLS.
    QString certificateFingerprint() const;
    // The options the connection was opened with, a certificate the user accepted for it among
    // them: another connection opened with them to the same server asks nothing again.
    FtpOptions openedWith() const { return m_ctx.options; }
    bool protectsData() const { return m_open && m_ctx.protectData; }
    void close();                         // sends nothing; ends any call in progress
    bool isOpen() const { return m_open; }
    bool isBusy() const { return m_current != nullptr; }
    void setTimeout(int ms) { m_ctx.options.timeoutMs = ms; }
    int timeout() const { return m_ctx.options.timeoutMs; }

    // The last reply as the server sent it, every line with its line end; for a failure without
    // a reply, a text saying what happened. lastReplyCode() is the code of the last server reply in
    // that text, 0 when it holds none.
    QString lastResponseInfo() const { return m_lastResponse; }
    int lastReplyCode() const { return m_lastCode; }

    // The last open() as the log shows it: the security commands (AUTH TLS, PBSZ, PROT), every reply
    // kept (greeting, login) and the warnings (no TLS), in order; never a password.
    struct LogLine
    {
        enum Kind { Command, Reply, Warning, Note } kind;
        QString text;
    };
    QList<LogLine> loginLog() const { return m_loginLog; }

    // How a command of command() reaches the log: announced by commandSent, or not at all (the
    // keep-alive, a command the user typed).
    enum class Echo { Logged, Quiet };
    // Raw: success is a final reply below 400. Secrets are hidden in the announced line.
    bool command(const QString &text, Echo echo = Echo::Logged, const QStringList &secrets = {});
    bool setCurrentDirectory(const QString &path);
    bool createDirectory(const QString &path);
    bool removeDirectory(const QString &path);
    bool renameFile(const QString &from, const QString &to);
    bool deleteFile(const QString &path);

    // "folder/*.txt", "*.*", "folder" (everything); the pattern is matched here, not by the server.
    bool list(const QString &pathPattern, QList<FtpEntry> &out);
    bool list(const QString &folder, const QString &pattern, QList<FtpEntry> &out);
    // Lines of the last listing that were neither an entry nor a line servers write around entries.
    int unreadableLines() const { return m_unreadableLines; }

    // SIZE: the file's size in bytes, -1 when the server does not tell.
    qint64 fileSize(const QString &path);
    // From byte offset on (binary only; the file's offset() says where the server really began).
    std::unique_ptr<FtpFile> openFile(const QString &remotePath, FtpFile::Mode mode, FtpTransferType type,
                                      qint64 offset = 0);
    bool getFile(const QString &remotePath, const QString &localPath, FtpTransferType type);
    bool putFile(const QString &localPath, const QString &remotePath, FtpTransferType type);

signals:
    void connectionClosed();          // the server ended the connection, or a call found it unusable
    void notice(const QString &text); // something the user should read in the log (a fallback taken)
    // Every command as it goes to the server, before it is written, its secrets masked; the
    // commands of open() are in loginLog() instead, among their replies.
    void commandSent(const QString &text);

private:
    friend class FtpFile;
    friend class FtpFileCopy;
    friend class FtpUploadTarget;

    bool ready();
    bool refuse(const QString &why);
    bool encodeCommand(const QString &verb, const QString &argument, QByteArray &out);
    bool simple(const QString &verb, const QString &argument);
    bool run(FtpOperation *operation, bool untilOpened = false);
    void conclude(FtpOperation *operation);
    bool finishFile(FtpTransferOperation *operation, bool dataComplete, qint64 received);
    void setLastResponse(const QByteArray &text, int code);
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
    QString m_lastResponse;
    int m_lastCode = 0;
    int m_unreadableLines = 0;
    FtpCertificateCheck m_certificateCheck;
    QList<LogLine> m_loginLog;
    bool m_loggingIn = false;
    QStringList m_commandSecrets; // of the command() under way
};
