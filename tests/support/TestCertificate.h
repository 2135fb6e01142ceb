#pragma once

#include <QByteArray>
#include <QString>

// A self-signed certificate and its key, made with `openssl req` in a folder the caller owns,
// in one PEM file (what the test server's --tls wants).
struct TestCertificate
{
    QString pemPath;   // certificate, then key
    QByteArray sha256; // raw digest of the certificate
    QString error;

    static TestCertificate make(const QString &folder, const QString &commonName, int days = 30);
};
