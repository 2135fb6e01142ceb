#pragma once

#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>
#include <QStringList>

#include <functional>

// A server certificate that could not be verified, as the user is shown it before anything
// secret is sent.
struct FtpCertificate
{
    QString host;
    quint16 port = 0;
    QString subject;
    QString issuer;
    QDateTime notBefore;
    QDateTime notAfter;
    QByteArray sha256;    // raw digest
    QStringList problems; // why it could not be verified, one sentence each

    static FtpCertificate from(const QSslCertificate &certificate, const QList<QSslError> &errors,
                               const QString &host, quint16 port);
    static QByteArray digest(const QSslCertificate &certificate);
    // "AB:CD:..." (32 pairs)
    static QString fingerprintText(const QByteArray &sha256);
    QString fingerprint() const { return fingerprintText(sha256); }
};

// The user's answer to an unverified certificate.
enum class FtpTrust { Cancel, Once, Always };
using FtpCertificateCheck = std::function<FtpTrust(const FtpCertificate &)>;
