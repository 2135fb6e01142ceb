#pragma once

#include <QByteArray>
#include <QString>

// The certificates the user chose to always trust, one per host and port, in a file of the
// application folder that only the user may read or write:
//   host port SHA-256-in-hex
// A later certificate for the same host and port is not trusted: the user is asked again.
class KnownCertificates
{
public:
    explicit KnownCertificates(QString path) : m_path(std::move(path)) {}

    static QString fileName() { return QStringLiteral("known_certificates"); }

    // The SHA-256 stored for host and port (raw), empty when none.
    QByteArray find(const QString &host, quint16 port) const;
    // Stores (or replaces) the entry; false with a reason when the file could not be written.
    bool remember(const QString &host, quint16 port, const QByteArray &sha256, QString *error = nullptr) const;

private:
    QString m_path;
};
