#pragma once

#include "ScriptedFtpPeer.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

// A scripted peer that keeps files, so that uploads can be followed to their end: STOR, SIZE, LIST,
// RNFR/RNTO and DELE act on them, with the quirks a test switches on:
//   no-dot   refuses names that start with "."     no-temp      refuses every name but the target's
//   full     answers 452 to every STOR             no-rename    refuses every RNFR
//   claim    answers 250 to RNTO and renames nothing   no-overwrite  refuses RNTO onto an existing name
//   drop-stor  closes the connection during the first STOR
class FakeFolderPeer : public ScriptedFtpPeer
{
public:
    QHash<QByteArray, QByteArray> files; // full path -> contents
    QSet<QByteArray> folders;
    QSet<QString> quirks;
    QSet<QByteArray> targets; // the names "no-temp" lets through

    FakeFolderPeer()
    {
        const auto arg = [](const QByteArray &line) { return line.mid(line.indexOf(' ') + 1); };
        onLine("STOR", [=, this](const QByteArray &line) {
            settle();
            const QByteArray path = arg(line);
            const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
            if (quirks.contains("full"))
                return Steps{reply("452 Insufficient storage space.\r\n")};
            if ((quirks.contains("no-dot") && name.startsWith('.')) || (quirks.contains("no-temp") && !targets.contains(path)))
                return Steps{reply("553 File name not allowed.\r\n")};
            if (quirks.contains("drop-stor") && m_stored.isEmpty()) {
                m_stored = path;
                return Steps{reply("150 Ok to send data.\r\n"), wait(200), closeControl()};
            }
            m_stored = path;
            return Steps{reply("150 Ok to send data.\r\n"), wait(150), reply("226 Transfer complete.\r\n")};
        });
        onLine("SIZE", [=, this](const QByteArray &line) {
            settle();
            const auto file = files.constFind(arg(line));
            return Steps{reply(file == files.constEnd() ? QByteArray("550 No such file.\r\n")
                                                        : "213 " + QByteArray::number(file->size()) + "\r\n")};
        });
        onLine("LIST", [=, this](const QByteArray &line) { return listing(arg(line)); });
        on("MKD", {reply("550 Folder exists.\r\n")});
        onLine("RNFR", [=, this](const QByteArray &line) {
            settle();
            m_from = arg(line);
            const bool there = files.contains(m_from) && !quirks.contains("no-rename");
            return Steps{reply(there ? "350 Ready.\r\n" : "550 Not allowed.\r\n")};
        });
        onLine("RNTO", [=, this](const QByteArray &line) {
            const QByteArray to = arg(line);
            if (folders.contains(to) || (quirks.contains("no-overwrite") && files.contains(to)))
                return Steps{reply("550 File exists.\r\n")};
            if (!quirks.contains("claim"))
                files.insert(to, files.take(m_from));
            return Steps{reply("250 Renamed.\r\n")};
        });
        onLine("DELE", [=, this](const QByteArray &line) {
            return Steps{reply(files.remove(arg(line)) ? "250 Deleted.\r\n" : "550 No such file.\r\n")};
        });
    }

    // What the client sent after logging in, without TYPE and EPSV, the random part of the
    // temporary names shown as R.
    QStringList transcript()
    {
        static const QRegularExpression random(QStringLiteral("[a-z0-9]{12}(?=\\.vestrigal-upload)|[a-z0-9]{8}(?=\\.tmp)"));
        QStringList out;
        for (const QByteArray &c : commands().mid(4)) // after AUTH, USER, PASS, FEAT
            if (!c.startsWith("TYPE") && !c.startsWith("EPSV"))
                out << QString::fromUtf8(c).replace(random, QStringLiteral("R"));
        return out;
    }
    // A file's contents, the last upload included.
    QByteArray contents(const QByteArray &path)
    {
        settle();
        return files.value(path);
    }
    // The names in the folder, sorted, random parts as R.
    QStringList namesIn(const QByteArray &folder)
    {
        QStringList out;
        for (const QByteArray &name : entriesIn(folder).keys())
            out << QString::fromUtf8(name);
        static const QRegularExpression random(QStringLiteral("[a-z0-9]{12}(?=\\.vestrigal-upload)"));
        return out.replaceInStrings(random, QStringLiteral("R"));
    }

private:
    using Steps = QList<Step>;

    // The upload under way is complete by the time the client sends its next command.
    void settle()
    {
        if (!m_stored.isEmpty() && !quirks.contains("drop-stor"))
            files.insert(m_stored, received());
        m_stored.clear();
    }
    QMap<QByteArray, qint64> entriesIn(const QByteArray &folder) // name -> size, -1 for a folder
    {
        settle();
        QMap<QByteArray, qint64> out;
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            if (it.key().startsWith(folder) && !it.key().mid(folder.size()).contains('/'))
                out.insert(it.key().mid(folder.size()), it->size());
        for (const QByteArray &f : folders)
            if (f.startsWith(folder))
                out.insert(f.mid(folder.size()), -1);
        return out;
    }
    Steps listing(const QByteArray &folder)
    {
        QByteArray lines;
        const auto entries = entriesIn(folder);
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            lines += (*it < 0 ? "drwxr-xr-x 1 a b 0" : "-rw-r--r-- 1 a b " + QByteArray::number(*it)) +
                     " Mar  1  2020 " + it.key() + "\r\n";
        return {reply("150 Here.\r\n"), data(lines), closeData(), reply("226 Done.\r\n")};
    }

    QByteArray m_stored; // the path of the STOR under way
    QByteArray m_from;
};
