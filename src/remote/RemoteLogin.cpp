#include "RemoteLogin.h"

#include "CertificateQuestion.h"
#include "HostKeyQuestion.h"
#include "FtpCertificate.h"
#include "FtpSession.h"
#include "SftpSession.h"
#include "RemoteSession.h"
#include "LogRun.h"
#include "SessionLog.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool startsWithCode(const QString &text)
{
    return text.size() >= 3 && text[0].isDigit() && text[1].isDigit() && text[2].isDigit();
}

} // namespace

namespace RemoteLogin {

FtpOptions prepare(RemoteSession &session, const ConnectionSettings &settings, const QString &knownFile,
                   Prompter &prompter, SessionLog &log, QString &fingerprint)
{
    FtpOptions options;
    options.agent = QStringLiteral("Vestrigal");
    options.proxy = settings.proxy;
    options.host = settings.host;
    options.port = settings.port;
    options.user = settings.user;
    options.password = settings.password;
    options.passive = !settings.active;
    options.security = settings.security;
    options.protocol = settings.protocol;
    if (auto *sftp = qobject_cast<SftpSession *>(&session)) {
        sftp->setTrustedKeysFile(QFileInfo(knownFile).absolutePath() + QStringLiteral("/known_ssh_hosts"));
        sftp->setHostKeyCheck([&prompter](const SshHostKey &key) { return HostKeyQuestion::ask(key, prompter); });
        sftp->setPassphraseSource(HostKeyQuestion::passphraseQuestion(prompter));
        return options;
    }
    auto &ftp = static_cast<FtpSession &>(session);
    const KnownCertificates known(knownFile);
    options.trustedCertificate = known.find(settings.host, settings.port);
    fingerprint = options.trustedCertificate.isEmpty() ? QString()
                                                       : FtpCertificate::fingerprintText(options.trustedCertificate);
    ftp.setCertificateCheck([known, &prompter, &log, &fingerprint](const FtpCertificate &certificate) {
        QString storeError;
        const FtpTrust trust = CertificateQuestion::ask(certificate, known, prompter, &storeError);
        if (!storeError.isEmpty())
            log.logLine(storeError, SessionLog::Event);
        if (trust != FtpTrust::Cancel)
            fingerprint = certificate.fingerprint();
        return trust;
    });
    return options;
}

void logLogin(const RemoteSession &session, SessionLog &log)
{
    for (const RemoteSession::LogLine &line : session.loginLog()) {
        switch (line.kind) {
        case RemoteSession::LogLine::Command:
            log.logLine(QStringLiteral("Command: ") + line.text, SessionLog::Command);
            break;
        case RemoteSession::LogLine::Reply:
            // Text without a reply code is the client's own account of a failure ("Connection refused").
            if (!startsWithCode(line.text))
                log.append(line.text.endsWith(QLatin1Char('\n')) ? line.text : line.text + QLatin1Char('\n'),
                           LogColours::red());
            else
                log.logServerReply(line.text);
            break;
        case RemoteSession::LogLine::Warning:
            log.append(line.text + QLatin1Char('\n'), LogColours::red());
            break;
        case RemoteSession::LogLine::Note:
            log.logLine(line.text, SessionLog::Event);
            break;
        }
    }
}

QString failureReason(const QString &info)
{
    static const QRegularExpression finalReply(QStringLiteral("^[45][0-9]{2} "));
    QString fallback;
    const QStringList lines = info.split(QLatin1Char('\n'));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = line->trimmed();
        if (finalReply.match(text).hasMatch())
            return text;
        if (fallback.isEmpty())
            fallback = text;
    }
    return fallback;
}

QString failureMessage(const QString &info)
{
    const QString reason = failureReason(info);
    const QString text = QStringLiteral("There was an error connecting to the remote server. Please verify your login "
                                        "info. Look at the status window for more details.");
    return reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason;
}

QString tlsText(const RemoteSession &session)
{
    static const QRegularExpression described(QStringLiteral("^The connection is encrypted \\((.*)\\)\\.$"));
    QString tls;
    for (const RemoteSession::LogLine &line : session.loginLog())
        if (const auto match = described.match(line.text); line.kind == RemoteSession::LogLine::Note && match.hasMatch())
            tls = match.captured(1);
    return tls;
}

QString securityText(const RemoteSession &session, const QString &tls, const QString &fingerprint)
{
    if (!session.isEncrypted())
        return QStringLiteral("Not encrypted: the password and the files travel in clear.");
    if (session.protocol() == RemoteProtocol::Sftp)
        return QStringLiteral("Encrypted (SSH%1)\nHost key: %2")
            .arg(tls.isEmpty() ? QString() : QStringLiteral(": ") + tls, session.certificateFingerprint());
    QString tip = session.protectsData() ? QStringLiteral("Encrypted")
                                         : QStringLiteral("The login is encrypted, but listings and files travel in clear.");
    if (!tls.isEmpty())
        tip += QStringLiteral(" (") + tls + QLatin1Char(')');
    if (!fingerprint.isEmpty())
        tip += QStringLiteral("\nCertificate SHA-256: ") + fingerprint;
    return tip;
}

} // namespace RemoteLogin
