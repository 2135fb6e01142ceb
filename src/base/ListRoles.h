#pragma once

#include <QVariant>

// Data roles of file list items, shared by the core that builds rows and the views that show them:
// the row key (full path) on the first column, a value to sort by (sizes and dates sort by value,
// not text), the mark of the ".." row, and what the row stands for.
namespace ListRoles {
enum Role { Key = Qt::UserRole, Sort, ParentRow, Kind };

// Set on the first column when the row is built; every decision about a row (enter it, drop on
// it, delete or rename it as a folder) reads this, never the text of a cell.
// A link (on the server) is tried as a folder and taken for a file when the server will not enter it.
enum class RowKind { File = 0, Folder = 1, Parent = 2, Link = 3 };

inline RowKind kindOf(const QVariant &kind)
{
    return RowKind(kind.toInt());
}
// A folder row, "..", or a link that may lead to a folder: what can be entered and dropped on.
inline bool isFolderLike(RowKind kind)
{
    return kind != RowKind::File;
}
} // namespace ListRoles
