#include "RemoteTextFile.h"

#include "RemoteSession.h"
#include "ServerNames.h"

#include <QFile>
#include <QSaveFile>

namespace {

// The size the server lists for the file, or -1 when it does not say.
qint64 listedSize(RemoteSession &session, const QString &folder, const QString &name)
{
    QList<FtpEntry> entries;
    if (!session.list(folder, name, entries))
        return -1;
    for (const FtpEntry &entry : entries)
        if (entry.name == name && !entry.isFolder)
            return entry.size;
    return -1;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

} // namespace

RemoteTextFile::Loaded RemoteTextFile::load(RemoteSession *session, const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1), name = path.mid(slash + 1);
    // A server name becomes a local file name only when it is safe as one.
    const std::optional<QString> local = ServerNames::localPathForServerName(m_tempFolder, name);
    if (!session || !local)
        return Loaded::Failed;
    if (listedSize(*session, folder, name) > MaxBytes)
        return Loaded::TooLarge;
    if (!session->getFile(path, *local, FtpTransferType::Ascii))
        return Loaded::Failed;
    QFile file(*local);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxBytes)
        return file.isOpen() ? Loaded::TooLarge : Loaded::Failed;
    const QByteArray bytes = file.readAll();
    m_name = name;
    m_path = path;
    m_bytes = bytes.size();
    m_text = TextEncoding::decode(bytes, m_encoding);
    return Loaded::Ok;
}

bool RemoteTextFile::encoded(const QString &text, QByteArray &out, QString *problem) const
{
    QChar bad;
    if (TextEncoding::encode(text, m_encoding, out, &bad))
        return true;
    *problem = QStringLiteral("The text holds a character (%1, U+%2) that this file's encoding, Windows-1252, "
                              "cannot store. Remove it and save again.")
                   .arg(bad)
                   .arg(bad.unicode(), 4, 16, QLatin1Char('0'));
    return false;
}

bool RemoteTextFile::save(RemoteSession *session, const QString &text, QString *problem)
{
    problem->clear();
    // One line end at the end, not one more at every save: any line end counts.
    const bool ended = text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')) ||
                       text.endsWith(QChar::ParagraphSeparator);
    QByteArray bytes;
    if (m_path.isEmpty() || !encoded(ended ? text : text + QLatin1Char('\n'), bytes, problem))
        return false;
    if (!writeFile(tempPath(), bytes) || !session)
        return false;
    return session->putFile(tempPath(), m_path, FtpTransferType::Ascii);
}

bool RemoteTextFile::saveCopy(const QString &path, const QString &text, QString *problem)
{
    QByteArray bytes;
    if (!encoded(text, bytes, problem))
        return false;
    if (writeFile(path, bytes))
        return true;
    *problem = QStringLiteral("Could not write %1.").arg(path);
    return false;
}
