#include "TestCertificate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>

TestCertificate TestCertificate::make(const QString &folder, const QString &commonName, int days)
{
    TestCertificate result;
    const QDir dir(folder);
    const QString key = dir.filePath(commonName + QStringLiteral(".key"));
    const QString cert = dir.filePath(commonName + QStringLiteral(".crt"));
    QProcess openssl;
    // An EC key: made in milliseconds, where RSA takes a noticeable part of a second.
    openssl.start("openssl", QString("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes").split(' ') +
                                 QStringList{"-keyout", key, "-out", cert, "-days", QString::number(days), "-subj",
                                             QStringLiteral("/CN=%1/O=Vestrigal tests").arg(commonName)});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        result.error = QStringLiteral("openssl req failed: ") + QString::fromLocal8Bit(openssl.readAllStandardError());
        return result;
    }
    QFile certFile(cert), keyFile(key);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("openssl wrote no certificate");
        return result;
    }
    const QByteArray pem = certFile.readAll();
    result.pemPath = dir.filePath(commonName + QStringLiteral(".pem"));
    QFile both(result.pemPath);
    if (!both.open(QIODevice::WriteOnly) || both.write(pem + keyFile.readAll()) < 0) {
        result.error = QStringLiteral("could not write ") + result.pemPath;
        return result;
    }
    const QList<QSslCertificate> parsed = QSslCertificate::fromData(pem);
    if (!parsed.isEmpty())
        result.sha256 = parsed.first().digest(QCryptographicHash::Sha256);
    return result;
}
