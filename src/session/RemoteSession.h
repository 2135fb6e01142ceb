#pragma once

#include "FtpTypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

// A remote file open for reading or writing, moved in blocks of any size. While it is open its
// session refuses every other call.
class RemoteFile : public QObject
{
    Q_OBJECT
public:
    enum Mode { Read, Write };
    using QObject::QObject;

    virtual qint64 read(char *buffer, qint64 maxSize) = 0;   // bytes read; 0 at the end; -1 on failure
    virtual qint64 write(const char *data, qint64 size) = 0; // size, or -1 on failure
    // True only when the server confirmed the end and all of the data arrived or left: a download
    // shorter than the size expected has failed.
    virtual bool close() = 0;
    // Ends the transfer without moving the rest (a stopped transfer); the connection stays usable.
    virtual void abort() = 0;
    // What the caller knows of a download's size (SIZE, a listing); -1 for nothing.
    virtual void setExpectedSize(qint64 size) = 0;
    virtual qint64 bytesOnWire() const = 0;
    // The byte of the file the transfer began at: the offset asked for, or 0 when the server
    // would not resume a download.
    virtual qint64 offset() const = 0;
    // The size the server announced when the transfer began; -1 when it said none.
    virtual qint64 announcedSize() const = 0;
    virtual bool isOpen() const = 0;
    virtual Mode mode() const = 0;
    virtual FtpTransferType type() const = 0;

    // The text a download short of its size fails with.
    static QString shortfall(qint64 received, qint64 expected);
};

class FtpFileCopy;
class FtpUploadTarget;
struct FtpRemoteItem;

// One connection to a server, FTP or SFTP, with blocking calls: the panes, the folder walks, the
// editors and the transfer engine drive it without knowing which protocol it speaks. A call waits
// in a local event loop (or on another thread), so the window stays responsive; close() from an
// event that runs meanwhile ends the waiting call with a failure. One call at a time: a call made
// during another one, or while a file is open, fails at once as busy. After every call
// lastResponseInfo() holds the server's reply text (never a password).
class RemoteSession : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual RemoteProtocol protocol() const = 0;
    virtual bool open(const FtpOptions &options) = 0; // connect and log in
    virtual bool isEncrypted() const = 0;
    // Whether listings and files are encrypted too, not only the login.
    virtual bool protectsData() const { return isEncrypted(); }
    // What the server proved itself with: the SHA-256 of its certificate (FTP over TLS) or of its
    // host key (SFTP, "SHA256:..."); empty when nothing was shown.
    virtual QString certificateFingerprint() const { return {}; }
    // The options the connection was opened with, what the user accepted for it among them:
    // another connection opened with them to the same server asks nothing again.
    virtual FtpOptions openedWith() const = 0;
    virtual void close() = 0; // sends nothing; ends any call in progress
    virtual bool isOpen() const = 0;
    virtual bool isBusy() const = 0;
    virtual void setTimeout(int ms) = 0;
    virtual int timeout() const = 0;

    // The last reply as the server sent it, every line with its line end; for a failure without
    // a reply, a text saying what happened. lastReplyCode() is the code of the last server reply in
    // that text, 0 when it holds none.
    QString lastResponseInfo() const { return m_lastResponse; }
    int lastReplyCode() const { return m_lastCode; }

    // The last open() as the log shows it: the commands, every reply kept (greeting, login) and
    // the warnings, in order; never a password.
    struct LogLine
    {
        enum Kind { Command, Reply, Warning, Note } kind;
        QString text;
    };
    QList<LogLine> loginLog() const { return m_loginLog; }

    // How a command of command() reaches the log: announced by commandSent, or not at all (the
    // keep-alive, a command the user typed).
    enum class Echo { Logged, Quiet };
    // A raw protocol command (FTP); success is a final reply below 400. Secrets are hidden in the
    // announced line.
    virtual bool command(const QString &text, Echo echo = Echo::Logged, const QStringList &secrets = {}) = 0;
    // Keeps an idle connection open: NOOP, or its like.
    virtual bool keepAlive() = 0;
    virtual bool setCurrentDirectory(const QString &path) = 0;
    virtual bool createDirectory(const QString &path) = 0;
    virtual bool removeDirectory(const QString &path) = 0;
    // Whether a server replaces an existing name differs (FTP servers mostly do, SFTP servers do
    // not): a caller that must not replace one looks first.
    virtual bool renameFile(const QString &from, const QString &to) = 0;
    virtual bool deleteFile(const QString &path) = 0;

    // "folder/*.txt", "*.*", "folder" (everything); the pattern is matched here, not by the server.
    bool list(const QString &pathPattern, QList<FtpEntry> &out);
    virtual bool list(const QString &folder, const QString &pattern, QList<FtpEntry> &out) = 0;
    // Lines of the last listing that were neither an entry nor a line servers write around entries.
    int unreadableLines() const { return m_unreadableLines; }

    // The file's size in bytes, -1 when the server does not tell.
    virtual qint64 fileSize(const QString &path) = 0;
    // From byte offset on (binary only; the file's offset() says where the server really began).
    virtual std::unique_ptr<RemoteFile> openFile(const QString &remotePath, RemoteFile::Mode mode, FtpTransferType type,
                                                 qint64 offset = 0) = 0;
    // Whole files: a download replaces the local file only when all of it arrived; an upload
    // goes to a temporary name first.
    bool getFile(const QString &remotePath, const QString &localPath, FtpTransferType type);
    bool putFile(const QString &localPath, const QString &remotePath, FtpTransferType type);

signals:
    void connectionClosed();          // the server ended the connection, or a call found it unusable
    void notice(const QString &text); // something the user should read in the log (a fallback taken)
    // Every command as it goes to the server, before it is written, its secrets masked; the
    // commands of open() are in loginLog() instead, among their replies.
    void commandSent(const QString &text);

protected:
    friend class FtpFileCopy;
    friend class FtpUploadTarget;

    bool refuse(const QString &why); // false, with why as the last response
    // The reply text as the log may show it: the password masked.
    virtual void setLastResponse(const QByteArray &text, int code);

    QString m_lastResponse;
    int m_lastCode = 0;
    int m_unreadableLines = 0;
    QList<LogLine> m_loginLog;
    QString m_password; // of the last open(), never shown
};
