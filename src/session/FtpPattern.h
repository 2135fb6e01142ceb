#pragma once

#include <QRegularExpression>
#include <QString>

// A listing pattern, matched by the client: "*" and "*.*" match every name, "*.txt" the names
// ending in ".txt" (case-sensitive), "?" any one character. Never sent to the server.
class FtpPattern
{
public:
    explicit FtpPattern(const QString &pattern = QString());
    bool matches(const QString &name) const;

    // "dir/sub/*.txt" -> folder "dir/sub/", pattern "*.txt"; a path without wildcards is all folder.
    static void split(const QString &pathPattern, QString &folder, QString &pattern);

private:
    bool m_all = true;
    QRegularExpression m_re;
};
