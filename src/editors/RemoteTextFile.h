#pragma once

#include "TextEncoding.h"

#include <QString>

class RemoteSession;

// A text file of the server edited through a copy in the temp folder: fetched and stored in
// ASCII mode by the FTP client's whole-file calls, decoded and encoded by TextEncoding.
class RemoteTextFile
{
public:
    static constexpr qint64 MaxBytes = qint64(64) << 20; // larger files are not fetched

    enum class Loaded { Ok, Failed, TooLarge };

    explicit RemoteTextFile(const QString &tempFolder) : m_tempFolder(tempFolder) {}

    // Fetches the file at `path` (from the server's root, or relative to its current folder)
    // and reads it; it is stored back to that path.
    Loaded load(RemoteSession *session, const QString &path);
    // Writes the text (line ends as they are to be stored) to the temp copy, with a line end at
    // the end unless it has one, and
    // stores it on the server. False with a reason for the user when the text cannot be
    // written in the file's encoding; false without one when the transfer failed.
    bool save(RemoteSession *session, const QString &text, QString *problem);
    // Writes the text to a local file in the file's encoding, as it is.
    bool saveCopy(const QString &path, const QString &text, QString *problem);

    QString name() const { return m_name; }
    QString path() const { return m_path; }
    QString tempPath() const { return m_tempFolder + m_name; }
    QString text() const { return m_text; }
    qint64 bytes() const { return m_bytes; }
    TextEncoding::Encoding encoding() const { return m_encoding; }

private:
    bool encoded(const QString &text, QByteArray &out, QString *problem) const;

    QString m_tempFolder;
    QString m_name; // the temp copy's name: the last part of the path
    QString m_path;
    QString m_text;
    qint64 m_bytes = 0;
    TextEncoding::Encoding m_encoding = TextEncoding::Encoding::Utf8;
};
