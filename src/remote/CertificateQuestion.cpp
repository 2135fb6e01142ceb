#include "CertificateQuestion.h"

#include "Prompter.h"

#include <QLocale>

namespace {

QString when(const QDateTime &time)
{
    return time.isValid() ? QLocale::c().toString(time.toUTC(), QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"))
                          : QStringLiteral("(unknown)");
}

} // namespace

QString CertificateQuestion::text(const FtpCertificate &c, bool changed)
{
    QString intro;
    if (changed)
        intro = QStringLiteral("The certificate of %1 port %2 has CHANGED since you chose to always trust it. The "
                               "server may have a new certificate, or someone may be intercepting the connection.")
                    .arg(c.host)
                    .arg(c.port);
    else
        intro = QStringLiteral("The certificate of %1 port %2 could not be verified.").arg(c.host).arg(c.port);
    if (!c.problems.isEmpty())
        intro += QLatin1Char('\n') + c.problems.join(QLatin1Char('\n'));
    return intro +
           QStringLiteral("\n\nSubject: %1\nIssuer: %2\nValid from %3 to %4\nSHA-256 fingerprint:\n%5\n\n"
                          "Nothing but the request for TLS has been sent. Trust once: connect this time only. "
                          "Always trust: connect, and trust this certificate for this server from now on. "
                          "Cancel: do not connect.")
               .arg(c.subject, c.issuer, when(c.notBefore), when(c.notAfter), c.fingerprint());
}

QStringList CertificateQuestion::buttons()
{
    return {QStringLiteral("Trust once"), QStringLiteral("Always trust"), QStringLiteral("Cancel")};
}

FtpTrust CertificateQuestion::ask(const FtpCertificate &certificate, const KnownCertificates &known,
                                  Prompter &prompter, QString *storeError)
{
    const QByteArray stored = known.find(certificate.host, certificate.port);
    const bool changed = !stored.isEmpty() && stored != certificate.sha256;
    switch (prompter.choose(text(certificate, changed), buttons(), Prompter::Icon::Warning)) {
    case 0:
        return FtpTrust::Once;
    case 1:
        known.remember(certificate.host, certificate.port, certificate.sha256, storeError);
        return FtpTrust::Always;
    default:
        return FtpTrust::Cancel;
    }
}
