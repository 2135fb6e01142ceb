#pragma once

#include <QByteArray>
#include <QList>

// The words of one listing line, shared by the parsers of each server family.
namespace FtpListText {

struct Token
{
    qsizetype begin;
    qsizetype end;
};

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

class Words
{
public:
    explicit Words(const QByteArray &line) : m_line(line)
    {
        qsizetype i = 0;
        while (i < line.size()) {
            while (i < line.size() && isBlank(line[i]))
                ++i;
            const qsizetype begin = i;
            while (i < line.size() && !isBlank(line[i]))
                ++i;
            if (i > begin)
                m_tokens.append({begin, i});
        }
    }
    qsizetype size() const { return m_tokens.size(); }
    QByteArray operator[](qsizetype i) const
    {
        return i < size() ? m_line.mid(m_tokens[i].begin, m_tokens[i].end - m_tokens[i].begin) : QByteArray();
    }
    const QByteArray &line() const { return m_line; }
    qsizetype begin(qsizetype i) const { return m_tokens[i].begin; }
    qsizetype end(qsizetype i) const { return m_tokens[i].end; }
    // What follows word i after exactly one blank (names may begin with blanks), or after all of
    // them (servers that align names in a column).
    QByteArray restAfter(qsizetype i, bool allBlanks = false) const
    {
        qsizetype at = m_tokens[i].end + 1;
        while (allBlanks && at < m_line.size() && isBlank(m_line[at]))
            ++at;
        return at < m_line.size() ? m_line.mid(at) : QByteArray();
    }

private:
    const QByteArray &m_line;
    QList<Token> m_tokens;
};

// "1234", "33.5k", "2KB", "1.2M", "7G": bytes, or -1 when the word is no size.
qint64 sizeWithUnit(const QByteArray &word);

} // namespace FtpListText
