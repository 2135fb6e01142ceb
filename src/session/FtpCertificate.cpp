#include "FtpCertificate.h"

#include <QCryptographicHash>

namespace {

QString names(const QSslCertificate &certificate, bool issuer)
{
    // Common name first, then organisation: what a user recognises.
    const QSslCertificate::SubjectInfo fields[] = {QSslCertificate::CommonName, QSslCertificate::Organization,
                                                   QSslCertificate::OrganizationalUnitName,
                                                   QSslCertificate::CountryName};
    QStringList parts;
    for (const auto field : fields) {
        const QStringList values = issuer ? certificate.issuerInfo(field) : certificate.subjectInfo(field);
        for (const QString &value : values) {
            if (!value.isEmpty() && !parts.contains(value))
                parts.append(value);
        }
    }
    if (parts.isEmpty())
        return issuer ? certificate.issuerDisplayName() : certificate.subjectDisplayName();
    return parts.join(QStringLiteral(", "));
}

} // namespace

QByteArray FtpCertificate::digest(const QSslCertificate &certificate)
{
    return certificate.isNull() ? QByteArray() : certificate.digest(QCryptographicHash::Sha256);
}

QString FtpCertificate::fingerprintText(const QByteArray &sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

FtpCertificate FtpCertificate::from(const QSslCertificate &certificate, const QList<QSslError> &errors,
                                    const QString &host, quint16 port)
{
    FtpCertificate c;
    c.host = host;
    c.port = port;
    c.subject = names(certificate, false);
    c.issuer = names(certificate, true);
    c.notBefore = certificate.effectiveDate();
    c.notAfter = certificate.expiryDate();
    c.sha256 = digest(certificate);
    for (const QSslError &error : errors) {
        const QString text = error.errorString();
        if (!c.problems.contains(text))
            c.problems.append(text);
    }
    return c;
}
