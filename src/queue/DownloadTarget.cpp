#include "DownloadTarget.h"

#include "LocalPaths.h"
#include "LocalTrash.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>
#include <filesystem>
#include <system_error>

DownloadTarget::DownloadTarget(const QString &path) : m_path(path), m_part(path + QStringLiteral(".part")) {}

DownloadTarget::~DownloadTarget()
{
    if (m_file.isOpen() || m_adopted)
        discard();
}

void DownloadTarget::adoptTarget()
{
    if (partSize() > 0 || !QFileInfo(m_path).isFile())
        return;
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(m_path).toStdString(), QFile::encodeName(m_part).toStdString(), error);
    m_adopted = !error;
}

void DownloadTarget::giveBack()
{
    m_file.close();
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(m_part).toStdString(), QFile::encodeName(m_path).toStdString(), error);
    m_adopted = false;
    m_result = error ? m_part : m_path;
}

qint64 DownloadTarget::partSize() const
{
    const QFileInfo part(m_part);
    return part.isFile() ? part.size() : 0;
}

bool DownloadTarget::open(qint64 from)
{
    if (QFileInfo(m_path).isDir() || !makeFolders() || !openPart(from))
        return false;
    // Small at first: most files of a folder are small, and a 1 MiB buffer for each costs more to
    // clear than the file takes to arrive. It grows to kChunk as a file proves larger.
    m_buffer.resize(size_t(kFirstChunk));
    return true;
}

bool DownloadTarget::makeFolders()
{
    const QString folder = LocalPaths::parentFolder(m_path);
    if (QFileInfo(folder).isDir())
        return true;
    QString existing = folder;
    while (!QFileInfo(existing).isDir() && existing != QLatin1String("/"))
        existing = LocalPaths::parentFolder(LocalPaths::withoutSlash(existing));
    if (!QDir().mkpath(folder))
        return false;
    m_madeBelow = existing;
    return true;
}

// One part file for a target, however often its download was tried: an earlier attempt's is
// continued or started anew, never set beside another.
bool DownloadTarget::openPart(qint64 from)
{
    if (from <= 0 && m_adopted)
        giveBack();
    m_file.setFileName(m_part);
    if (from <= 0)
        return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered) || !m_file.seek(from))
        return false;
    m_expected = m_file.readAll();
    return m_file.atEnd() && !m_expected.isEmpty(); // else bytes would be missing before from
}

bool DownloadTarget::restart()
{
    m_expected.clear();
    m_mismatch = m_failed = false;
    m_used = 0;
    if (m_adopted)
        return m_file.isOpen() && openPart(0);
    return m_file.isOpen() && m_file.resize(0) && m_file.seek(0);
}

bool DownloadTarget::write(const char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    while (size > 0) {
        const qint64 n = qMin(size, qint64(m_buffer.size()) - m_used);
        std::memcpy(m_buffer.data() + m_used, data, size_t(n));
        m_used += n;
        data += n;
        size -= n;
        if (m_used == qint64(m_buffer.size()) && !makeRoom(1))
            return false;
    }
    return true;
}

char *DownloadTarget::room(qint64 maxSize)
{
    if (m_used + maxSize > qint64(m_buffer.size()) && !makeRoom(maxSize))
        return nullptr;
    return m_buffer.data() + m_used;
}

// Grows the buffer up to kChunk (or to one block larger than that), and writes it out once it
// is that large.
bool DownloadTarget::makeRoom(qint64 size)
{
    const qint64 have = qint64(m_buffer.size());
    if (have < kChunk) {
        m_buffer.resize(size_t(qMin(qMax(2 * have, m_used + size), qMax(kChunk, m_used + size))));
        if (m_used + size <= qint64(m_buffer.size()))
            return true;
    }
    if (!flush())
        return false;
    if (size > qint64(m_buffer.size()))
        m_buffer.resize(size_t(size)); // a block larger than the chunk
    return true;
}

bool DownloadTarget::kept(qint64 size)
{
    if (!m_expected.isEmpty() && (size = arrivedAgain(size)) < 0)
        return false;
    m_used += size;
    return m_used < kChunk || flush();
}

// The bytes that arrive again are compared with the part's end and not written; what follows them
// moves down to where they were. The bytes left to keep; -1 when they differ.
qint64 DownloadTarget::arrivedAgain(qint64 size)
{
    char *arrived = m_buffer.data() + m_used;
    const qint64 n = qMin(size, qint64(m_expected.size()));
    if (std::memcmp(arrived, m_expected.constData(), size_t(n)) != 0) {
        m_mismatch = true;
        return -1;
    }
    m_expected.remove(0, n);
    std::memmove(arrived, arrived + n, size_t(size - n));
    return size - n;
}

// A write cut short sets no error: the disk, or the file's size limit, is full.
QString DownloadTarget::error() const
{
    if (!m_failed)
        return QStringLiteral("Could not put %1 in the place of %2.").arg(m_part, m_path);
    const QString why = m_file.error() == QFileDevice::NoError ? QStringLiteral("the disk is full") : m_file.errorString();
    return QStringLiteral("Could not write %1: %2.").arg(m_part, why);
}

bool DownloadTarget::flush()
{
    if (m_used > 0 && m_file.write(m_buffer.data(), m_used) != m_used)
        m_failed = true;
    m_used = 0;
    return !m_failed;
}

bool DownloadTarget::finish(End how)
{
    if (!m_file.isOpen())
        return false;
    const bool written = flush();
    m_file.close();
    if (m_adopted && (how != End::Complete || !written)) {
        giveBack();
        return how != End::Complete;
    }
    if (how == End::Failed || !written || (how == End::Cut && partSize() == 0)) {
        discard();
        return how == End::Failed || how == End::Cut;
    }
    if (how == End::Cut) {
        m_result = m_part; // for the next attempt; the user's file stays
        return true;
    }
    if (how == End::Stopped && QFileInfo::exists(m_path)) {
        m_result = m_part; // what arrived stays, the user's file too
        return true;
    }
    if (!replaceTarget()) {
        discard();
        return false;
    }
    m_result = m_path;
    return true;
}

// One rename: the target is either the old file or the new one, never half of either. The old
// file goes to the trash first, as a local delete would, so an unintended overwrite can be undone;
// where there is no trash it is replaced as before.
bool DownloadTarget::replaceTarget()
{
    const QFileInfo old(m_path);
    if (old.exists()) {
        QFile::setPermissions(m_part, old.permissions());
        LocalTrash trash;
        if (old.isFile() && trash.volumeHasTrash(m_path))
            trash.moveToTrash(m_path);
    }
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(m_part).toStdString(), QFile::encodeName(m_path).toStdString(), error);
    m_adopted = m_adopted && error;
    return !error;
}

void DownloadTarget::discard()
{
    if (m_adopted)
        return giveBack(); // the user's file is never deleted
    m_file.close();
    if (!m_part.isEmpty())
        QFile::remove(m_part);
    m_result.clear();
}
