#pragma once

#include "LogRun.h"

#include <QByteArray>
#include <QList>

// Reads back what RtfWriter writes and the plain subset other editors write: text, paragraphs,
// the colour table and \cf colours, \u and \'hh escapes. Groups it does not show (fonts,
// stylesheets, pictures, document info, any \* destination) are skipped. Anything that does
// not start as an RTF document is taken as plain text. Broken input never fails: what could be
// read is returned.
class RtfReader
{
public:
    static LogRuns read(const QByteArray &data);
    static bool isRtf(const QByteArray &data);
    // Plain text from a file: UTF-8 when it is valid UTF-8, else Windows-1252.
    static QString decodeText(const QByteArray &data);

private:
    struct Group
    {
        int colour = -1; // index into the colour table; -1 = the default colour
        int unicodeSkip = 1;
        bool hidden = false;
        bool colourTable = false;
    };

    explicit RtfReader(const QByteArray &data) : m_data(data) {}
    LogRuns parse();
    void openGroup();
    void closeGroup();
    void readControl();
    void controlSymbol(char c);
    void readControlWord();
    void controlWord(const QByteArray &word, bool hasParam, int param);
    bool specialCharacter(const QByteArray &word);
    void colourTableWord(const QByteArray &word, int param);
    void endColourEntry();
    void hexCharacter();
    void skipBinary(int count);
    void character(QChar c);
    QColor currentColour() const;
    Group &group() { return m_groups.last(); }

    const QByteArray &m_data;
    qsizetype m_pos = 0;
    QList<Group> m_groups;
    int m_tooDeep = 0; // groups opened past the depth limit
    int m_fallbackLeft = 0;
    QList<QColor> m_colours; // invalid entries stand for the default colour
    int m_red = -1, m_green = -1, m_blue = -1;
    LogRuns m_runs;
};
