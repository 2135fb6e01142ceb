#pragma once

// Makes a file or folder really read-only for the test that holds it, also when the tests run as root
// (which ignores permission bits): as root the entry is made immutable, otherwise its write bits go.
// An immutable folder takes no new entries and loses none; an immutable file cannot be written,
// renamed or deleted. Everything is restored when the object goes.

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

class ReadOnlyPath
{
public:
    explicit ReadOnlyPath(const QString &path) : m_path(QFile::encodeName(path))
    {
        struct stat st = {};
        if (::lstat(m_path.constData(), &st) != 0) {
            m_why = QStringLiteral("%1 does not exist").arg(path);
            return;
        }
        m_mode = st.st_mode & 07777;
        if (::geteuid() != 0) {
            m_chmod = ::chmod(m_path.constData(), m_mode & ~mode_t(0222)) == 0;
            if (!m_chmod)
                m_why = QStringLiteral("chmod failed on %1").arg(path);
            return;
        }
        m_immutable = setImmutable(true);
        if (!m_immutable)
            m_why = QStringLiteral("running as root, and %1 cannot be made immutable here (no "
                                   "CAP_LINUX_IMMUTABLE, or the file system has no such flag)")
                        .arg(path);
    }
    ~ReadOnlyPath()
    {
        if (m_immutable)
            setImmutable(false);
        if (m_chmod)
            ::chmod(m_path.constData(), m_mode);
    }
    ReadOnlyPath(const ReadOnlyPath &) = delete;
    ReadOnlyPath &operator=(const ReadOnlyPath &) = delete;

    bool ok() const { return m_chmod || m_immutable; }
    // Whether even the owner cannot change it: code that gives an owner's folder its write
    // rights back (as a recursive delete does) is stopped only then.
    bool stopsOwner() const { return m_immutable; }
    QString why() const { return m_why; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QByteArray m_path;
    mode_t m_mode = 0;
    bool m_chmod = false;
    bool m_immutable = false;
    QString m_why;
};

// Declares a read-only path for the rest of the scope, or skips the test saying why it cannot.
#define READ_ONLY_OR_SKIP(var, path)                                                                                   \
    ReadOnlyPath var(path);                                                                                            \
    if (!var.ok())                                                                                                     \
    QSKIP(qPrintable(var.why()))
