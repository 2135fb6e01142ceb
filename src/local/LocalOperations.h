#pragma once

#include <QString>
#include <QStringList>

class LocalTrash;
class Prompter;

// What the local pane does to files and folders on disk. Every operation answers whether it did what was
// asked; one that fails leaves things as they were (nothing half-renamed, nothing half-moved).
namespace LocalOperations {

// Deletes a folder and everything in it for good, read-only and hidden entries included; a volume root is
// emptied but kept. Symbolic links are removed, never followed. False at the first entry that stays.
bool RemoveLocalFolder(const QString &folder);

// Deletes one file or folder: into the trash where its volume has one, else for good.
bool deleteEntry(const QString &path, LocalTrash &trash);
// Deletes every path given; true when a folder was among those deleted.
bool deleteEntries(const QStringList &paths, LocalTrash &trash);

// Renames an entry to the name in the folder; the new path, or an empty text when the name is not a
// plain name or is taken, or the rename failed.
QString renameEntry(const QString &path, const QString &folder, const QString &newName);
// Asks a new name for each entry (path, name) in turn and renames it; an empty answer skips it,
// a failure ends the command. True when a folder was renamed.
bool renameEntries(const QList<QPair<QString, QString>> &entries, const QString &folder, Prompter &prompter);

// Creates the folder "folder & name"; false when the name is not a plain name, exists, or cannot be made.
bool createFolder(const QString &folder, const QString &name);

// Moves a folder whole to the destination path (into the destination, keeping its name, when that ends
// with "/"): a rename, or across volumes a copy and then the deletion of the original.
bool placerDossier(const QString &source, const QString &destination);
// The second way: copies the folder tree (files keep their times and permissions), then deletes the
// original; a copy that fails is taken away again and the original stays. A tree that could not be
// deleted afterwards (a read-only folder in it or above it) is refused before anything is copied.
bool moveByCopy(const QString &source, const QString &destination);

// What a move of dragged entries into a folder did.
struct Moved
{
    QStringList kept; // names the folder holds already: never moved over
    bool folderMoved = false;
};
// Moves entries (full paths, folders marked) into a folder, each keeping its name.
Moved moveInto(const QList<QPair<QString, bool>> &entries, const QString &folder);

} // namespace LocalOperations
