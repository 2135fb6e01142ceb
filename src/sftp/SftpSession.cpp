#include "SftpSession.h"

#include "FtpPattern.h"
#include "SftpFile.h"
#include "SshLink.h"

#include <QPointer>
#include <fcntl.h>

SftpSession::SftpSession(QObject *parent) : RemoteSession(parent) {}

SftpSession::~SftpSession()
{
    close(); // a call still waiting returns at once; the link's end waits for it
}

void SftpSession::close()
{
    m_open = false;
    if (m_link)
        m_link->cut();
    if (m_file) {
        if (!m_busy && m_link)
            m_file->release(*m_link); // else the file's call frees it when it returns
        m_file->detach();
        m_file = nullptr;
    }
    if (m_link && !m_busy)
        m_link.reset();
}

bool SftpSession::ready()
{
    if (m_busy || m_file)
        return refuse(QStringLiteral("Another operation is in progress on this connection."));
    if (!m_open || !m_link)
        return refuse(QStringLiteral("Not connected to a server."));
    return true;
}

bool SftpSession::call(const QString &logged, const std::function<bool()> &fn, const QString &otherwise)
{
    if (!ready())
        return false;
    if (!logged.isEmpty())
        emit commandSent(logged);
    QPointer<SftpSession> self(this);
    bool ok = false;
    m_busy = true;
    SshLink *link = m_link.get();
    link->run([&] { ok = fn(); }, m_options.timeoutMs);
    if (!self)
        return false;
    m_busy = false;
    if (!m_open) { // closed meanwhile
        m_link.reset();
        return refuse(QStringLiteral("The connection was closed."));
    }
    return ok || fail(otherwise);
}

bool SftpSession::succeed(const QString &text, int code)
{
    setLastResponse(QStringLiteral("%1 %2\r\n").arg(code).arg(text).toUtf8(), code);
    return true;
}

bool SftpSession::fail(const QString &otherwise)
{
    const SshLink::Failure failure = m_link->failure(otherwise.isEmpty() ? QStringLiteral("Failure") : otherwise);
    setLastResponse(QStringLiteral("%1 %2\r\n").arg(failure.code).arg(failure.text).toUtf8(), failure.code);
    if (failure.lost)
        lost();
    return false;
}

void SftpSession::lost()
{
    close();
    emit connectionClosed();
}

QString SftpSession::absolute(const QString &path) const
{
    if (path.startsWith(QLatin1Char('/')))
        return path;
    if (path.isEmpty() || path == QLatin1String("."))
        return m_cwd;
    return m_cwd.endsWith(QLatin1Char('/')) ? m_cwd + path : m_cwd + QLatin1Char('/') + path;
}

QByteArray SftpSession::pathBytes(const QString &path) const
{
    return m_names.encode(absolute(path));
}

// The folder walks and the remover ask for the current folder (PWD) and remove folders (RMD) by
// their FTP names; those two have SFTP equivalents. Nothing else typed is sent.
bool SftpSession::command(const QString &text, Echo echo, const QStringList &secrets)
{
    Q_UNUSED(echo);
    Q_UNUSED(secrets);
    const QString verb = text.section(QLatin1Char(' '), 0, 0).toUpper();
    const QString argument = text.section(QLatin1Char(' '), 1);
    if (verb == QLatin1String("PWD") && argument.isEmpty()) {
        if (!ready())
            return false;
        // SFTP keeps no folder on the server's side: nothing is sent.
        const QString quoted = QString(m_cwd).replace(QLatin1Char('"'), QStringLiteral("\"\""));
        setLastResponse(QStringLiteral("257 \"%1\" is the current folder.\r\n").arg(quoted).toUtf8(), 257);
        return true;
    }
    if (verb == QLatin1String("RMD") && !argument.isEmpty())
        return removeDirectory(argument);
    return refuse(QStringLiteral("Commands can be sent to FTP servers only: this connection is SFTP."));
}

bool SftpSession::keepAlive()
{
    const QByteArray path = pathBytes(m_cwd);
    return call({},
                [&] {
                    sftp_attributes attributes = sftp_stat(m_link->sftp, path.constData());
                    sftp_attributes_free(attributes);
                    return attributes != nullptr;
                }) &&
           succeed(QStringLiteral("OK"), 200);
}

bool SftpSession::setCurrentDirectory(const QString &path)
{
    const QByteArray bytes = pathBytes(path);
    QByteArray canonical;
    bool folder = false;
    const bool found = call(QStringLiteral("REALPATH %1").arg(absolute(path)), [&] {
        char *real = sftp_canonicalize_path(m_link->sftp, bytes.constData());
        if (!real)
            return false;
        canonical = real;
        ssh_string_free_char(real);
        sftp_attributes attributes = sftp_stat(m_link->sftp, canonical.constData());
        folder = attributes && attributes->type == SSH_FILEXFER_TYPE_DIRECTORY;
        sftp_attributes_free(attributes);
        return attributes != nullptr;
    });
    if (!found)
        return false;
    if (!folder) {
        setLastResponse(QStringLiteral("550 %1: not a folder.\r\n").arg(absolute(path)).toUtf8(), 550);
        return false;
    }
    m_cwd = m_names.decode(canonical);
    return succeed(QStringLiteral("The folder is now %1.").arg(m_cwd), 250);
}

bool SftpSession::createDirectory(const QString &path)
{
    const QByteArray bytes = pathBytes(path);
    return call(QStringLiteral("MKDIR %1").arg(absolute(path)),
                [&] { return sftp_mkdir(m_link->sftp, bytes.constData(), 0755) == SSH_OK; }) &&
           succeed(QStringLiteral("Folder created."), 257);
}

bool SftpSession::removeDirectory(const QString &path)
{
    const QByteArray bytes = pathBytes(path);
    return call(QStringLiteral("RMDIR %1").arg(absolute(path)),
                [&] { return sftp_rmdir(m_link->sftp, bytes.constData()) == SSH_OK; }) &&
           succeed(QStringLiteral("Folder removed."), 250);
}

bool SftpSession::deleteFile(const QString &path)
{
    const QByteArray bytes = pathBytes(path);
    return call(QStringLiteral("REMOVE %1").arg(absolute(path)),
                [&] { return sftp_unlink(m_link->sftp, bytes.constData()) == SSH_OK; }) &&
           succeed(QStringLiteral("File deleted."), 250);
}

bool SftpSession::renameFile(const QString &from, const QString &to)
{
    const QByteArray source = pathBytes(from), target = pathBytes(to);
    return call(QStringLiteral("RENAME %1 %2").arg(absolute(from), absolute(to)),
                [&] { return sftp_rename(m_link->sftp, source.constData(), target.constData()) == SSH_OK; }) &&
           succeed(QStringLiteral("Renamed."), 250);
}

qint64 SftpSession::fileSize(const QString &path)
{
    const QByteArray bytes = pathBytes(path);
    qint64 size = -1;
    const bool ok = call(QStringLiteral("STAT %1").arg(absolute(path)), [&] {
        sftp_attributes attributes = sftp_stat(m_link->sftp, bytes.constData());
        if (attributes && attributes->type == SSH_FILEXFER_TYPE_REGULAR && (attributes->flags & SSH_FILEXFER_ATTR_SIZE))
            size = qint64(attributes->size);
        sftp_attributes_free(attributes);
        return attributes != nullptr;
    });
    if (ok)
        succeed(size < 0 ? QStringLiteral("Not a file.") : QString::number(size), 213);
    return size;
}

bool SftpSession::list(const QString &folder, const QString &pattern, QList<FtpEntry> &out)
{
    out.clear();
    m_unreadableLines = 0;
    const QString where = absolute(folder.isEmpty() ? m_cwd : folder);
    const QByteArray bytes = m_names.encode(where);
    const FtpPattern match(pattern);
    struct Found
    {
        QByteArray name;
        sftp_attributes attributes;
        bool linkToFolder;
    };
    std::vector<Found> found;
    const bool ok = call(QStringLiteral("READDIR %1").arg(where), [&] {
        sftp_dir dir = sftp_opendir(m_link->sftp, bytes.constData());
        if (!dir)
            return false;
        while (sftp_attributes attributes = sftp_readdir(m_link->sftp, dir)) {
            QByteArray name(attributes->name ? attributes->name : "");
            if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
                sftp_attributes_free(attributes);
                continue;
            }
            bool linkToFolder = false;
            if (attributes->type == SSH_FILEXFER_TYPE_SYMLINK) {
                // A link is entered when it leads to a folder, moved as a file otherwise.
                const QByteArray linkPath = bytes.endsWith('/') ? bytes + name : bytes + '/' + name;
                if (sftp_attributes target = sftp_stat(m_link->sftp, linkPath.constData())) {
                    attributes->size = target->size;
                    attributes->flags |= target->flags & SSH_FILEXFER_ATTR_SIZE;
                    linkToFolder = target->type == SSH_FILEXFER_TYPE_DIRECTORY;
                    sftp_attributes_free(target);
                }
            }
            found.push_back({std::move(name), attributes, linkToFolder});
        }
        const bool whole = sftp_dir_eof(dir);
        sftp_closedir(dir);
        return whole;
    });
    for (Found &f : found) {
        const sftp_attributes a = f.attributes;
        const bool link = a->type == SSH_FILEXFER_TYPE_SYMLINK;
        QString name = m_names.decode(f.name);
        if (match.matches(name)) {
            const bool ascii = std::all_of(f.name.cbegin(), f.name.cend(), [](char c) { return uchar(c) < 0x80; });
            FtpEntry entry{std::move(name),
                           ascii ? QByteArray() : std::move(f.name),
                           link ? f.linkToFolder : a->type == SSH_FILEXFER_TYPE_DIRECTORY,
                           (a->flags & SSH_FILEXFER_ATTR_SIZE) ? qint64(a->size) : 0,
                           QDateTime(),
                           link};
            if (a->flags & SSH_FILEXFER_ATTR_ACMODTIME)
                entry.lastWrite = QDateTime::fromSecsSinceEpoch(a->mtime);
            out.append(std::move(entry));
        }
        sftp_attributes_free(a);
    }
    return ok && succeed(QStringLiteral("%1 entries.").arg(out.size()), 226);
}

std::unique_ptr<RemoteFile> SftpSession::openFile(const QString &remotePath, RemoteFile::Mode mode,
                                                  FtpTransferType type, qint64 offset)
{
    if (type == FtpTransferType::Ascii && !m_saidBinary) {
        m_saidBinary = true;
        emit notice(QStringLiteral("SFTP moves files in binary: the ASCII setting does not apply."));
    }
    const QByteArray bytes = pathBytes(remotePath);
    const bool reading = mode == RemoteFile::Read;
    sftp_file handle = nullptr;
    qint64 size = -1;
    const int flags = reading ? O_RDONLY : offset > 0 ? O_WRONLY : O_WRONLY | O_CREAT | O_TRUNC;
    const QString verb = reading ? QStringLiteral("OPEN %1 (read") : QStringLiteral("OPEN %1 (write");
    const QString logged = verb.arg(absolute(remotePath)) +
                           (offset > 0 ? QStringLiteral(" from byte %1)").arg(offset) : QStringLiteral(")"));
    const bool ok = call(logged, [&] {
        handle = sftp_open(m_link->sftp, bytes.constData(), flags, 0644);
        if (!handle)
            return false;
        if (sftp_attributes attributes = sftp_fstat(handle)) {
            if (attributes->flags & SSH_FILEXFER_ATTR_SIZE)
                size = qint64(attributes->size);
            sftp_attributes_free(attributes);
        }
        if (offset > 0 && sftp_seek64(handle, quint64(offset)) < 0) {
            sftp_close(handle);
            handle = nullptr;
        }
        return handle != nullptr;
    });
    if (!ok)
        return nullptr;
    succeed(reading ? QStringLiteral("Opened for reading (%1 bytes).").arg(size)
                    : QStringLiteral("Opened for writing."),
            150);
    auto file = std::unique_ptr<SftpFile>(new SftpFile(this, handle, mode, offset, reading ? size : -1, m_block));
    m_file = file.get();
    return file;
}

void SftpSession::fileClosed(SftpFile *file)
{
    if (m_file == file)
        m_file = nullptr;
}
