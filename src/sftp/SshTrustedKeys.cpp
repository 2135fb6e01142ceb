#include "SshTrustedKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

bool SshTrustedKeys::keep(const QString &file, const QByteArray &line, QString *error)
{
    const QByteArray host = line.left(line.indexOf(' '));
    QByteArray kept;
    QFile old(file);
    if (old.open(QIODevice::ReadOnly)) {
        for (const QByteArray &existing : old.readAll().split('\n'))
            if (!existing.trimmed().isEmpty() && existing.left(existing.indexOf(' ')) != host)
                kept += existing + '\n';
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const bool ok = out.open(QIODevice::WriteOnly) && out.setPermissions(ownerOnly) &&
                    out.write(kept + line.trimmed() + '\n') >= 0 && out.commit() &&
                    QFile::setPermissions(file, ownerOnly);
    if (!ok && error)
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file), out.errorString());
    return ok;
}
