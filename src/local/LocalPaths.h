#pragma once

#include <QString>
#include <QStringList>

// Local paths as the local pane keys them: a folder path ends with "/", a row key (the full path
// of an entry) has no trailing "/". One place for the separator rules.
namespace LocalPaths {

// The path with one trailing "/".
QString asFolder(QString path);
// A folder path without its trailing "/"; the file system root stays "/".
QString withoutSlash(const QString &path);
// The last component of a key or folder path.
QString fileName(const QString &path);
// The folder holding an entry or folder, ending with "/"; "/" for "/" itself.
QString parentFolder(const QString &path);
// Key of the ".." row of a listed folder: its parent folder without the trailing "/" ("/" for the root).
QString parentKey(const QString &folder);
// True when the folder is the root of a mounted volume (such a folder has no ".." row).
bool isVolumeRoot(const QString &folder);
// A typed path as a folder: doubled separators and "." or ".." steps cleaned away, one trailing "/".
// Empty when the text is not an absolute path.
QString typedFolder(const QString &text);
// Every folder on the way down to the folder, the root first: "/a/b/" gives "/", "/a/", "/a/b/".
QStringList levels(const QString &folder);
// A name that stays in its folder: not empty, not "." or "..", no "/" and no NUL.
bool isPlainName(const QString &name);

// Empty when the local file system can hold the path; else a sentence saying what is too long
// (one name, or the whole path).
QString lengthProblem(const QString &path);

} // namespace LocalPaths
