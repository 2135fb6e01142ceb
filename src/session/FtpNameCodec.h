#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Server names are bytes. They are shown as UTF-8, or as Latin-1 when they are not valid UTF-8;
// such names are remembered so that a path built from them goes back to the server as the
// very bytes it sent (to download, rename or delete a file whose name is not UTF-8).
class FtpNameCodec
{
public:
    static QString decodeText(const QByteArray &bytes); // without remembering
    QString decode(const QByteArray &raw);
    QByteArray encode(const QString &path) const;
    void clear() { m_raw.clear(); }

private:
    static constexpr qsizetype kMaxRemembered = 200000;
    QHash<QString, QByteArray> m_raw;
};
