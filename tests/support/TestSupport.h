#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace TestSupport {

// The source tree (for fixture scripts), as the build passes it to every test.
QString sourceDir();

// A file's bytes, or "<missing>" when it cannot be read.
QByteArray contentOf(const QString &path);
// Writes the file, making its folders; false when any of it fails.
bool writeFile(const QString &path, const QByteArray &content = "data");
// The names in a folder, hidden ones too, sorted.
QStringList namesIn(const QString &folder);
// Bytes that differ from their neighbours, so that a block lost, doubled or moved shows.
QByteArray pattern(qsizetype size);
// A writable folder on another volume than the temporary folder (/dev/shm), or an empty text.
QString otherVolume();

// A temporary folder for a test, gone with it; folders and files made in it by relative path.
class TempTree
{
public:
    TempTree() = default;
    explicit TempTree(const QString &pattern) : m_dir(pattern) {}

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }                      // without a closing "/"
    QString operator/(const QString &relative) const { return m_dir.path() + '/' + relative; }
    // Made (with the folders above it) and empty or as it was; ends with "/".
    QString folder(const QString &relative) const;
    // Made with this content; the path.
    QString file(const QString &relative, const QByteArray &content = "data") const;

private:
    QTemporaryDir m_dir;
};

} // namespace TestSupport
