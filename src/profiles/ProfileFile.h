#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One stored profile: the connection fields as the user typed them, kept as text.
// Every member has its default here, so that a profile can be written with only the fields it sets.
struct Profile
{
    QString server{};
    QString port = QStringLiteral("21");
    QString username{};
    QString password{};
    QString proxy{};
    QString comments{};
    QString keepAlive = QStringLiteral("0");
    QString timeout = QStringLiteral("0");
    bool active = true;
};

// What reading a profile file gave: the values in tag order, as many as were read before a
// failure. The window puts each value into its field at once, so a damaged file still fills
// the fields before the damage.
struct ProfileRead
{
    QStringList values; // server, port, username, password, proxy, comments, keepalive, timeout, active
    bool damaged = false;
    bool active = false; // meaningful when the file is whole
};

// The profile file: one element per line, CR LF line ends, values unescaped. Tags are found
// by their first occurrence anywhere in the text, so reordered or joined lines read the same.
namespace ProfileFile {

// The nine tags in reading order.
const QStringList &tags();

QByteArray serialize(const Profile &profile);
ProfileRead parse(const QString &text);
// UTF-8 when the bytes are valid UTF-8, else Windows-1252 (files of the older Windows program).
QString decode(const QByteArray &bytes);
// A profile is never larger than this: a bigger file is not one.
constexpr qint64 kMaxBytes = 1024 * 1024;
// Reads a regular file of at most kMaxBytes; any other, or one that cannot be read, reads as
// damaged with nothing filled.
ProfileRead read(const QString &path);
// The text of a tag found inside a value; such a value would not read back as written.
QString tagInside(const Profile &profile);
// The profile as a whole read gives it (only for a read that is not damaged).
Profile toProfile(const ProfileRead &read);

} // namespace ProfileFile
