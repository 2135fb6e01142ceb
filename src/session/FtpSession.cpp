#include "FtpSession.h"

#include "FtpNameCodec.h"

#include "FtpCommandOperation.h"

#include "FtpListOperation.h"
#include "FtpListParser.h"
#include "FtpLoginOperation.h"
#include "FtpPattern.h"
#include "FtpRenameOperation.h"
#include "FtpSecrets.h"
#include "FtpTransferOperation.h"

#include <QEventLoop>

#include <algorithm>
#include <QPointer>

FtpSession::FtpSession(QObject *parent) : RemoteSession(parent), m_control(this), m_ctx(m_control)
{
    connect(&m_control, &FtpControl::replyReceived, this, &FtpSession::onReply);
    connect(&m_control, &FtpControl::commandSent, this, &FtpSession::onCommandSent);
    connect(&m_control, &FtpControl::lost, this, &FtpSession::onLost);
}

FtpSession::~FtpSession()
{
    if (m_loop)
        m_loop->exit(1); // the waiting call sees the guard and returns without touching us
}

QString FtpSession::certificateFingerprint() const
{
    return isEncrypted() ? FtpCertificate::fingerprintText(FtpCertificate::digest(m_control.peerCertificate()))
                         : QString();
}

bool FtpSession::open(const FtpOptions &options)
{
    if (isBusy())
        return refuse(QStringLiteral("Another operation is in progress on this connection."));
    close();
    m_ctx.options = options;
    m_ctx.names.clear();
    m_ctx.mlsd = m_ctx.utf8 = m_ctx.epsvRefused = m_ctx.eprtRefused = m_ctx.restRefused = false;
    m_ctx.type.reset();
    m_ctx.rawPassive.reset();
    for (const QString &field : {options.host, options.user, options.password, options.proxy}) {
        if (field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('\n')) || field.contains(QChar(0)))
            return refuse(QStringLiteral("Refused: a connection field contains a line break or a NUL character."));
    }
    m_loginLog.clear();
    m_ctx.control.setTrustedCertificate({});
    QPointer<FtpSession> self(this);
    QByteArray trusted = options.trustedCertificate;
    bool ok = false;
    // A certificate the user accepts after the first attempt failed on it is trusted on a new
    // connection: the old one broke off in the handshake, before USER and PASS.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_ctx.options.trustedCertificate = trusted;
        m_ctx.protectData = false;
        auto *login = new FtpLoginOperation(m_ctx, this);
        m_loggingIn = true;
        ok = run(login);
        if (!self)
            return false;
        m_loggingIn = false;
        const std::optional<FtpCertificate> refused =
            login->stoppedAtCertificate() ? m_ctx.control.refusedCertificate() : std::nullopt;
        QList<FtpOperation::Line> lines = login->transcript();
        if (refused && !ok && !lines.isEmpty())
            lines.removeLast(); // the broken handshake: what follows says what became of it
        appendLoginLog(lines);
        if (ok || !refused)
            break;
        dropConnection();
        const FtpTrust answer = m_certificateCheck ? m_certificateCheck(*refused) : FtpTrust::Cancel;
        if (!self)
            return false;
        if (answer == FtpTrust::Cancel) {
            refuse(QStringLiteral("The server's certificate was not accepted: the connection was closed before the "
                                  "user name and password were sent."));
            m_loginLog.append({LogLine::Reply, m_lastResponse});
            break;
        }
        trusted = refused->sha256;
        m_loginLog.append({LogLine::Note, QStringLiteral("The certificate %1 was accepted; connecting again.")
                                              .arg(refused->fingerprint())});
    }
    if (!ok)
        dropConnection();
    m_open = ok;
    return ok;
}

void FtpSession::appendLoginLog(const QList<FtpOperation::Line> &lines)
{
    for (const FtpOperation::Line &line : lines) {
        const QString text = FtpNameCodec::decodeText(line.text);
        const QStringList secrets{m_ctx.options.password};
        m_loginLog.append({LogLine::Kind(line.kind), line.kind == FtpOperation::Line::Command
                                                         ? FtpSecrets::maskedCommand(text, secrets)
                                                         : FtpSecrets::masked(text, secrets)});
    }
}

void FtpSession::close()
{
    if (m_current && !m_current->isFinished())
        m_current->abort(QStringLiteral("The connection was closed."));
    dropConnection();
    // A call that waits concludes its operation itself; an open file's operation ends here.
    if (m_current && !m_loop)
        conclude(m_current);
}

void FtpSession::dropConnection()
{
    m_control.abort();
    m_open = false;
    m_ctx.rawPassive.reset();
}

bool FtpSession::ready()
{
    if (isBusy())
        return refuse(QStringLiteral("Another operation is in progress on this connection."));
    if (!m_open)
        return refuse(QStringLiteral("Not connected to a server."));
    return true;
}

// The command as the server will see it; false (and nothing sent) when it would not be one line.
bool FtpSession::encodeCommand(const QString &verb, const QString &argument, QByteArray &out)
{
    out = verb.toUtf8();
    if (!argument.isNull())
        out += ' ' + m_ctx.names.encode(argument);
    if (out.contains('\r') || out.contains('\n') || out.contains('\0'))
        return refuse(QStringLiteral("Refused: the command contains a line break or a NUL character."));
    if (out.size() > MaxCommandBytes)
        return refuse(QStringLiteral("Refused: the command is longer than %1 bytes.").arg(MaxCommandBytes));
    return true;
}

bool FtpSession::simple(const QString &verb, const QString &argument)
{
    QByteArray line;
    if (!ready() || !encodeCommand(verb, argument, line))
        return false;
    return run(new FtpCommandOperation(m_ctx, line, FtpCommandOperation::Kind::Checked, this));
}

bool FtpSession::command(const QString &text, Echo echo, const QStringList &secrets)
{
    QByteArray line;
    if (!ready() || !encodeCommand(text, QString(), line))
        return false;
    if (line.trimmed().isEmpty())
        return refuse(QStringLiteral("Refused: the command is empty."));
    // The protection is the connection's, chosen by its address: a typed AUTH, PBSZ, PROT or CCC
    // would leave client and server disagreeing about what is encrypted.
    const QByteArray verb = line.trimmed().split(' ').value(0).toUpper();
    if (verb == "AUTH" || verb == "PBSZ" || verb == "PROT" || verb == "CCC")
        return refuse(QStringLiteral("Refused: %1 is sent by the program itself; choose the protection with the "
                                     "address (ftp://, ftpes://, ftps://).")
                          .arg(QString::fromLatin1(verb)));
    if (verb != "NOOP")
        m_ctx.type.reset(); // the server's type is no longer known for sure
    auto *operation = new FtpCommandOperation(m_ctx, line, FtpCommandOperation::Kind::Raw, this);
    operation->setLogged(echo == Echo::Logged);
    m_commandSecrets = secrets;
    QPointer<FtpSession> self(this);
    const bool ok = run(operation);
    if (self)
        m_commandSecrets.clear();
    return ok;
}

bool FtpSession::keepAlive()
{
    return command(QStringLiteral("NOOP"), Echo::Quiet);
}

bool FtpSession::setCurrentDirectory(const QString &path)
{
    return simple(QStringLiteral("CWD"), path);
}

bool FtpSession::createDirectory(const QString &path)
{
    return simple(QStringLiteral("MKD"), path);
}

bool FtpSession::removeDirectory(const QString &path)
{
    return simple(QStringLiteral("RMD"), path);
}

bool FtpSession::deleteFile(const QString &path)
{
    return simple(QStringLiteral("DELE"), path);
}

bool FtpSession::renameFile(const QString &from, const QString &to)
{
    QByteArray rnfr, rnto;
    if (!ready() || !encodeCommand(QStringLiteral("RNFR"), from, rnfr) ||
        !encodeCommand(QStringLiteral("RNTO"), to, rnto))
        return false;
    return run(new FtpRenameOperation(m_ctx, rnfr.mid(5), rnto.mid(5), this));
}

bool FtpSession::list(const QString &folder, const QString &pattern, QList<FtpEntry> &out)
{
    out.clear();
    m_unreadableLines = 0;
    QByteArray line;
    if (!ready() || !encodeCommand(QStringLiteral("LIST"), folder.isEmpty() ? QString() : folder, line))
        return false;
    const QByteArray path = folder.isEmpty() ? QByteArray() : line.mid(5);
    const FtpPattern match(pattern);
    // Entries are kept as they arrive; the listing's text is never held whole.
    auto sink = [this, &match, &out](FtpListParser::Line &&entry) { addEntry(std::move(entry), match, out); };
    auto *operation = new FtpListOperation(m_ctx, path, m_ctx.mlsd, sink, this);
    QPointer<FtpSession> self(this);
    bool ok = run(operation);
    if (!self)
        return false;
    // A server that announced MLSD but does not know it after all: LIST from now on. Other refusals
    // (501, 550) are about this folder, not about the command.
    const int code = operation->lastCode();
    if (!ok && operation->usedMlsd() && m_open && (code == 500 || code == 502)) {
        m_ctx.mlsd = false;
        out.clear();
        operation = new FtpListOperation(m_ctx, path, false, sink, this);
        ok = run(operation);
        if (!self)
            return false;
    }
    if (!ok) {
        out = {};
        return false;
    }
    m_unreadableLines = operation->unreadableLines();
    return true;
}

void FtpSession::addEntry(FtpListParser::Line &&line, const FtpPattern &match, QList<FtpEntry> &out)
{
    if (line.name == "." || line.name == "..")
        return;
    QString name = m_ctx.names.decode(line.name);
    if (!match.matches(name))
        return;
    // Plain ASCII bytes are the name itself: only other names keep their bytes (a million
    // entries save a block each).
    const bool ascii = std::all_of(line.name.cbegin(), line.name.cend(), [](char c) { return uchar(c) < 0x80; });
    out.append(FtpEntry{std::move(name), ascii ? QByteArray() : std::move(line.name), line.isFolder, line.size,
                        line.lastWrite, line.isLink});
}

std::unique_ptr<RemoteFile> FtpSession::openFile(const QString &remotePath, RemoteFile::Mode mode, FtpTransferType type,
                                              qint64 offset)
{
    QByteArray line;
    if (!ready() || !encodeCommand(QStringLiteral("RETR"), remotePath, line))
        return nullptr;
    const auto direction =
        mode == FtpFile::Read ? FtpTransferOperation::Direction::Read : FtpTransferOperation::Direction::Write;
    auto *operation = new FtpTransferOperation(m_ctx, line.mid(5), direction, type, this);
    operation->setOffset(type == FtpTransferType::Binary ? offset : 0);
    QPointer<FtpSession> self(this);
    if (!run(operation, true) || !self)
        return nullptr;
    return std::unique_ptr<FtpFile>(new FtpFile(this, operation, mode, type, m_ctx.options.timeoutMs));
}

bool FtpSession::finishFile(FtpTransferOperation *operation, bool dataComplete, qint64 received)
{
    if (!operation || m_current != operation)
        return false;
    operation->closeFile(dataComplete, received);
    return run(operation);
}

// Waits until the operation ends (or, for a file, is open). The session may be closed or even
// destroyed by an event that runs meanwhile; the guard notices the latter.
bool FtpSession::run(FtpOperation *operation, bool untilOpened)
{
    m_current = operation;
    auto *transfer = qobject_cast<FtpTransferOperation *>(operation);
    if (!operation->isFinished() && !(untilOpened && transfer && transfer->isOpen())) {
        QEventLoop loop;
        connect(operation, &FtpOperation::finished, &loop, &QEventLoop::quit);
        if (untilOpened && transfer)
            connect(transfer, &FtpTransferOperation::opened, &loop, &QEventLoop::quit);
        if (transfer == nullptr || !transfer->isOpen())
            operation->begin();
        QPointer<FtpSession> self(this);
        if (!operation->isFinished() && !(untilOpened && transfer && transfer->isOpen())) {
            m_loop = &loop;
            loop.exec(QEventLoop::AllEvents);
            if (!self)
                return false;
            m_loop = nullptr;
        }
    }
    if (untilOpened && transfer && transfer->isOpen() && !transfer->isFinished()) {
        setLastResponse(transfer->info(), transfer->lastCode());
        return true;
    }
    conclude(operation);
    return operation->succeeded();
}

void FtpSession::conclude(FtpOperation *operation)
{
    setLastResponse(operation->info(), operation->lastCode());
    m_current = nullptr;
    operation->deleteLater();
    if (operation->isFatal() && m_open) {
        dropConnection();
        emit connectionClosed();
    }
}

void FtpSession::setLastResponse(const QByteArray &text, int code)
{
    m_lastResponse = FtpNameCodec::decodeText(text);
    m_lastCode = code;
    // A server that echoes the password (some do in error replies) must not put it in the log.
    m_lastResponse = FtpSecrets::masked(m_lastResponse, {m_ctx.options.password});
}

void FtpSession::onReply(const FtpReply &reply)
{
    if (m_current && !m_current->isFinished()) {
        m_current->handleReply(reply);
        return;
    }
    // Nobody asked: a stray reply is dropped, but 421 means the server is going away.
    if (reply.code == 421) {
        setLastResponse(reply.text, reply.code);
        dropConnection();
        emit connectionClosed();
    }
}

// The one place that reports what was sent: a login keeps its commands among its replies.
void FtpSession::onCommandSent(const QByteArray &line)
{
    if (m_loggingIn && m_current) {
        m_current->recordSent(line);
        return;
    }
    emit commandSent(FtpSecrets::maskedCommand(FtpNameCodec::decodeText(line), m_commandSecrets));
}

void FtpSession::onLost(const QString &why)
{
    if (m_current && !m_current->isFinished()) {
        m_current->handleLost(why);
        return;
    }
    if (m_open) {
        m_open = false;
        emit connectionClosed();
    }
}

qint64 FtpSession::fileSize(const QString &path)
{
    QByteArray line;
    if (!ready() || !encodeCommand(QStringLiteral("SIZE"), path, line))
        return -1;
    // The size in bytes is the binary size; some servers refuse SIZE altogether in ASCII mode, the
    // type a connection starts in.
    QPointer<FtpSession> self(this);
    if (m_ctx.type != FtpTransferType::Binary) {
        m_ctx.type.reset();
        const bool binary = run(new FtpCommandOperation(m_ctx, "TYPE I", FtpCommandOperation::Kind::Checked, this));
        if (!self || !ready())
            return -1;
        if (binary && m_lastCode / 100 == 2)
            m_ctx.type = FtpTransferType::Binary;
    }
    auto *operation = new FtpCommandOperation(m_ctx, line, FtpCommandOperation::Kind::Checked, this);
    const bool ok = run(operation);
    if (!self || !ok || m_lastCode != 213)
        return -1;
    bool number = false;
    const qint64 size = m_lastResponse.section(QLatin1Char('\n'), -2, -2).mid(4).trimmed().toLongLong(&number);
    return number && size >= 0 ? size : -1;
}

