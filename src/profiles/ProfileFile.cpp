#include "ProfileFile.h"

#include "Cp1252.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace ProfileFile {

const QStringList &tags()
{
    static const QStringList names = {
        QStringLiteral("server"),    QStringLiteral("port"),    QStringLiteral("username"),
        QStringLiteral("password"),  QStringLiteral("proxy"),   QStringLiteral("comments"),
        QStringLiteral("keepalive"), QStringLiteral("timeout"), QStringLiteral("active")};
    return names;
}

namespace {

QStringList valuesOf(const Profile &p)
{
    return {p.server,    p.port,    p.username,
            p.password,  p.proxy,   p.comments,
            p.keepAlive, p.timeout, p.active ? QStringLiteral("1") : QStringLiteral("0")};
}

// The value between the first opening and the first closing tag, by the positions alone:
// a missing opening tag takes the text from the opening tag's length on; a missing closing tag,
// or one before its opening tag, is damage.
bool valueOf(const QString &text, const QString &tag, QString &value)
{
    const QString open = QLatin1Char('<') + tag + QLatin1Char('>');
    const qsizetype close = text.indexOf(QStringLiteral("</") + tag + QLatin1Char('>'));
    if (close < 0)
        return false;
    const qsizetype opened = text.indexOf(open) + 1; // 1-based, 0 when missing
    const qsizetype count = (close + 1) - opened - open.size();
    if (count < 0)
        return false;
    value = text.left(close).right(count);
    return true;
}

// "Compared as a number": blanks around a number are allowed, a word is not.
bool numberIsOne(const QString &text, bool &isOne)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        return false;
    isOne = value == 1.0;
    return true;
}

} // namespace

QByteArray serialize(const Profile &profile)
{
    const QStringList values = valuesOf(profile);
    QString text = QStringLiteral("<profile>\r\n");
    for (int i = 0; i < tags().size(); ++i) {
        QString value = values[i];
        if (i == 5) // a comment's lines end like the file's
            value.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        text += QLatin1Char('<') + tags()[i] + QLatin1Char('>') + value + QStringLiteral("</") + tags()[i] +
                QStringLiteral(">\r\n");
    }
    text += QStringLiteral("</profile>\r\n");
    return text.toUtf8();
}

ProfileRead parse(const QString &text)
{
    ProfileRead read;
    for (const QString &tag : tags()) {
        QString value;
        if (!valueOf(text, tag, value)) {
            read.damaged = true;
            return read;
        }
        read.values.append(value);
    }
    if (!numberIsOne(read.values.last(), read.active))
        read.damaged = true;
    return read;
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QString latin;
    latin.reserve(bytes.size());
    for (const char c : bytes)
        latin.append(Cp1252::toUnicode(uchar(c)));
    return latin;
}

namespace {

// The whole content of a regular file of at most kMaxBytes. Opened without waiting, so that a
// FIFO put in its place does not block; a device or an endless file is never read.
std::optional<QByteArray> readRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxBytes) {
        QByteArray data(qsizetype(st.st_size) + 1, Qt::Uninitialized); // one more shows a file that grew
        qsizetype have = 0;
        for (;;) {
            const ssize_t n = ::read(fd, data.data() + have, size_t(data.size() - have));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            have += n;
            if (have == data.size())
                break;
        }
        if (have <= st.st_size) {
            data.truncate(have);
            bytes = data;
        }
    }
    ::close(fd);
    return bytes;
}

} // namespace

ProfileRead read(const QString &path)
{
    const std::optional<QByteArray> bytes = readRegularFile(path);
    if (!bytes)
        return {{}, true, false};
    return parse(decode(*bytes));
}

QString tagInside(const Profile &profile)
{
    for (const QString &value : valuesOf(profile)) {
        for (const QString &tag : tags()) {
            for (const QString &mark :
                 {QLatin1Char('<') + tag + QLatin1Char('>'), QStringLiteral("</") + tag + QLatin1Char('>')})
                if (value.contains(mark))
                    return mark;
        }
    }
    return {};
}

Profile toProfile(const ProfileRead &read)
{
    Profile p;
    if (read.values.size() < tags().size())
        return p;
    p.server = read.values[0];
    p.port = read.values[1];
    p.username = read.values[2];
    p.password = read.values[3];
    p.proxy = read.values[4];
    p.comments = read.values[5];
    p.keepAlive = read.values[6];
    p.timeout = read.values[7];
    p.active = read.active;
    return p;
}

} // namespace ProfileFile
