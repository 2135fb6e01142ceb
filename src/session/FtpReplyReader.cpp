#include "FtpReplyReader.h"

namespace {

int codeOf(const QByteArray &line)
{
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
    }
    if (line[0] < '1' || line[0] > '5')
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

// The character after the code: ' ', '-', or a line end for a bare "220".
char separatorOf(const QByteArray &line)
{
    return line.size() > 3 ? line[3] : '\n';
}

} // namespace

bool FtpReplyReader::feed(const QByteArray &bytes)
{
    if (failed())
        return false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', start);
        const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
        m_partial.append(bytes.constData() + start, end - start);
        start = end;
        if (m_partial.size() > kMaxLine)
            return fail(QStringLiteral("The server sent a reply line longer than %1 bytes.").arg(kMaxLine));
        if (lf < 0)
            break;
        m_partial.removeIf([](char c) { return c == '\0'; });
        takeLine(m_partial);
        m_partial.clear();
        if (failed())
            return false;
    }
    return true;
}

void FtpReplyReader::takeLine(const QByteArray &line)
{
    const int code = codeOf(line);
    if (m_current.code == 0) {
        const char sep = separatorOf(line);
        if (code == 0 || (sep != ' ' && sep != '-' && sep != '\r' && sep != '\n')) {
            fail(QStringLiteral("The server sent a malformed reply: %1")
                     .arg(QString::fromLatin1(line.left(80).trimmed())));
            return;
        }
        m_current = FtpReply{code, line};
    } else {
        m_current.text += line;
        if (m_current.text.size() > kMaxReply) {
            fail(QStringLiteral("The server sent a reply longer than %1 bytes.").arg(kMaxReply));
            return;
        }
    }
    const bool last = m_current.text.size() == line.size() ? separatorOf(line) != '-'
                                                           : code == m_current.code && separatorOf(line) == ' ';
    if (last) {
        m_ready.append(m_current);
        m_current = FtpReply{};
    }
}

bool FtpReplyReader::fail(const QString &why)
{
    m_error = why;
    m_partial.clear();
    m_current = FtpReply{};
    return false;
}

void FtpReplyReader::reset()
{
    m_partial.clear();
    m_current = FtpReply{};
    m_ready.clear();
    m_error.clear();
}
