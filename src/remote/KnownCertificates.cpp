#include "KnownCertificates.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

QString keyOf(const QString &host, quint16 port)
{
    return host.trimmed().toLower() + QLatin1Char(' ') + QString::number(port);
}

// "host port hex" -> key and digest; false for a line that is not one.
bool parse(const QString &line, QString &key, QByteArray &digest)
{
    const QStringList parts = line.simplified().split(QLatin1Char(' '));
    if (parts.size() != 3)
        return false;
    bool ok = false;
    const uint port = parts[1].toUInt(&ok);
    digest = QByteArray::fromHex(parts[2].toLatin1());
    if (!ok || port == 0 || port > 65535 || digest.size() != 32)
        return false;
    key = keyOf(parts[0], quint16(port));
    return true;
}

} // namespace

QByteArray KnownCertificates::find(const QString &host, quint16 port) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString wanted = keyOf(host, port);
    QByteArray found;
    while (!file.atEnd()) {
        QString key;
        QByteArray digest;
        if (parse(QString::fromUtf8(file.readLine()), key, digest) && key == wanted)
            found = digest; // the last entry counts
    }
    return found;
}

bool KnownCertificates::remember(const QString &host, quint16 port, const QByteArray &sha256, QString *error) const
{
    const QString wanted = keyOf(host, port);
    QStringList lines;
    QFile old(m_path);
    if (old.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!old.atEnd()) {
            const QString line = QString::fromUtf8(old.readLine()).trimmed();
            QString key;
            QByteArray digest;
            if (parse(line, key, digest) && key != wanted)
                lines.append(line);
        }
    }
    lines.append(wanted + QLatin1Char(' ') + QString::fromLatin1(sha256.toHex()));
    QSaveFile file(m_path);
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("Could not store the certificate in %1: %2").arg(m_path, why);
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // Only the user: another local user must not be able to make us trust a server. Set on the
    // temporary file, so the new file is never readable by others, not even for a moment.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
    if (!file.commit())
        return fail(file.errorString());
    return true;
}
