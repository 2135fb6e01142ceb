#include "FtpLoginOperation.h"

#include <QNetworkProxy>
#include <QSslSocket>

namespace {

// "host[:port]", "[v6]:port" or a bare IPv6 address; SOCKS5 on port 1080 unless given.
bool parseProxy(const QString &text, QNetworkProxy &proxy)
{
    QString host = text.trimmed();
    if (host.startsWith(QLatin1String("socks5://"), Qt::CaseInsensitive))
        host = host.mid(9);
    quint16 port = 1080;
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    const bool bracketed = host.startsWith(QLatin1Char('['));
    if (colon > 0 && (bracketed ? host[colon - 1] == QLatin1Char(']') : host.count(QLatin1Char(':')) == 1)) {
        bool ok = false;
        const uint value = host.mid(colon + 1).toUInt(&ok);
        if (!ok || value == 0 || value > 65535)
            return false;
        port = quint16(value);
        host.truncate(colon);
    }
    if (bracketed && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (host.isEmpty() || host.contains(QLatin1Char(' ')))
        return false;
    proxy = QNetworkProxy(QNetworkProxy::Socks5Proxy, host, port);
    return true;
}

QString cleanHost(QString host)
{
    host = host.trimmed();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return host;
}

} // namespace

void FtpLoginOperation::start()
{
    const FtpOptions &o = m_ctx.options;
    const QString host = cleanHost(o.host);
    if (host.isEmpty() || host.contains(QLatin1Char(' ')) || host.contains(QLatin1Char('/')))
        return fail(QStringLiteral("No valid server name: \"%1\".").arg(o.host));
    if (o.port == 0)
        return fail(QStringLiteral("No valid port."));
    QNetworkProxy proxy(QNetworkProxy::NoProxy);
    if (!o.proxy.trimmed().isEmpty() && !parseProxy(o.proxy, proxy))
        return fail(QStringLiteral("No valid proxy: \"%1\" (expected host[:port]).").arg(o.proxy));
    if (o.security != FtpSecurity::Off && !QSslSocket::supportsSsl())
        return fail(QStringLiteral("FTP over TLS is not available on this system (no TLS library)."));
    connect(&m_ctx.control, &FtpControl::connected, this, &FtpLoginOperation::onConnected);
    connect(&m_ctx.control, &FtpControl::encrypted, this, &FtpLoginOperation::onEncrypted);
    m_ctx.control.setTrustedCertificate(o.trustedCertificate);
    m_ctx.control.connectToServer(host, o.port, proxy, o.security == FtpSecurity::Implicit);
    armTimer();
}

bool FtpLoginOperation::tlsRequired() const
{
    return m_ctx.options.security == FtpSecurity::Explicit || m_ctx.options.security == FtpSecurity::Implicit;
}

void FtpLoginOperation::onConnected()
{
    if (isFinished() || m_state != State::Connecting)
        return;
    m_state = State::Greeting;
    armTimer();
}

void FtpLoginOperation::onEncrypted()
{
    if (isFinished())
        return;
    note(QStringLiteral("The connection is encrypted (%1).").arg(m_ctx.control.tlsDescription()));
    if (m_state == State::Handshake)
        sendUser();
}

void FtpLoginOperation::handleLost(const QString &why)
{
    m_stoppedAtCertificate = m_ctx.control.refusedCertificate().has_value();
    if (m_state != State::Connecting && !(m_state == State::Greeting && m_ctx.options.security == FtpSecurity::Implicit))
        return FtpOperation::handleLost(why);
    FtpOperation::handleLost(QStringLiteral("Could not connect to %1 port %2: %3")
                                 .arg(m_ctx.control.hostName())
                                 .arg(m_ctx.options.port)
                                 .arg(why));
}

void FtpLoginOperation::onReply(const FtpReply &reply)
{
    switch (m_state) {
    case State::Connecting: // a greeting that beat the connected signal
    case State::Greeting:
        return onGreeting(reply);
    case State::Auth:
        return onAuth(reply);
    case State::Handshake: // nothing may come in clear while the handshake runs
        keep(reply);
        return fail(QStringLiteral("The server answered during the TLS handshake."), true);
    case State::User:
        return onUser(reply);
    case State::Password:
        return onPassword(reply);
    case State::Pbsz:
    case State::Prot:
        return onProtection(reply);
    case State::Features:
        return onFeatures(reply);
    case State::Utf8:
        return succeed();
    }
}

void FtpLoginOperation::onGreeting(const FtpReply &reply)
{
    keep(reply);
    if (reply.isPreliminary()) // 120: ready in a few minutes
        return armTimer();
    if (!reply.isPositive())
        return fail(QStringLiteral("The server refused the connection."));
    const FtpSecurity security = m_ctx.options.security;
    if (security == FtpSecurity::Auto || security == FtpSecurity::Explicit) {
        m_state = State::Auth;
        return send("AUTH TLS");
    }
    sendUser();
}

void FtpLoginOperation::onAuth(const FtpReply &reply)
{
    if (tlsRequired() && reply.code != 234 && !reply.isPreliminary()) {
        // The user is told why in our words, with the server's answer inside them.
        show(reply);
        return fail(QStringLiteral("The server does not support FTP over TLS, which this connection requires "
                                   "(ftpes://); it answered: %1. Nothing else was sent.")
                        .arg(QString::fromUtf8(reply.text.trimmed())));
    }
    keep(reply);
    if (reply.code == 234) {
        m_state = State::Handshake;
        m_ctx.control.startTls();
        return armTimer();
    }
    if (reply.isPreliminary())
        return armTimer();
    warn(QStringLiteral("The server does not support FTP over TLS: the password was sent unencrypted, and files "
                        "travel unencrypted too."));
    sendUser();
}

void FtpLoginOperation::sendUser()
{
    m_state = State::User;
    send("USER " + user().toUtf8());
}

void FtpLoginOperation::onUser(const FtpReply &reply)
{
    keep(reply);
    if (reply.code == 230 || reply.code == 202)
        return loggedIn();
    if (reply.code == 331) {
        QString password = m_ctx.options.password;
        if (password.isEmpty() && user() == QLatin1String("anonymous"))
            password = QStringLiteral("anonymous@");
        m_state = State::Password;
        return send("PASS " + password.toUtf8());
    }
    if (reply.code == 332)
        return fail(QStringLiteral("The server asks for an account, which this program does not send."));
    fail(QStringLiteral("Login failed."));
}

void FtpLoginOperation::onPassword(const FtpReply &reply)
{
    keep(reply);
    if (reply.code == 230 || reply.code == 202)
        return loggedIn();
    if (reply.code == 332)
        return fail(QStringLiteral("The server asks for an account, which this program does not send."));
    fail(QStringLiteral("Login failed."));
}

// Under TLS the data connections are protected too: PBSZ 0, then PROT P.
void FtpLoginOperation::loggedIn()
{
    if (!m_ctx.control.isEncrypted()) {
        m_state = State::Features;
        return send("FEAT");
    }
    m_state = State::Pbsz;
    send("PBSZ 0");
}

void FtpLoginOperation::onProtection(const FtpReply &reply)
{
    keep(reply);
    if (!reply.isPositive())
        return unprotectedData(m_state == State::Pbsz ? QStringLiteral("PBSZ") : QStringLiteral("PROT P"));
    if (m_state == State::Pbsz) {
        m_state = State::Prot;
        return send("PROT P");
    }
    m_ctx.protectData = true;
    m_state = State::Features;
    send("FEAT");
}

void FtpLoginOperation::unprotectedData(const QString &refused)
{
    if (tlsRequired())
        return fail(QStringLiteral("The server refused %1: data connections would not be encrypted.").arg(refused));
    warn(QStringLiteral("The server refused %1: listings and files travel unencrypted.").arg(refused));
    m_state = State::Features;
    send("FEAT");
}

// FEAT is for us, not for the log: its reply is not kept.
void FtpLoginOperation::onFeatures(const FtpReply &reply)
{
    if (reply.isPositive()) {
        for (const QByteArray &line : reply.text.split('\n')) {
            const QByteArray feature = line.trimmed().toUpper();
            m_ctx.mlsd = m_ctx.mlsd || feature.startsWith("MLST") || feature.startsWith("MLSD");
            m_ctx.utf8 = m_ctx.utf8 || feature == "UTF8";
        }
    }
    if (!m_ctx.utf8)
        return succeed();
    m_state = State::Utf8;
    send("OPTS UTF8 ON");
}

QString FtpLoginOperation::user() const
{
    return m_ctx.options.user.isEmpty() ? QStringLiteral("anonymous") : m_ctx.options.user;
}
