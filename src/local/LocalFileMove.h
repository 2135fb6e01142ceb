#pragma once

#include <QString>

// Moving one file into another folder without ever losing it: a rename where the disk allows it;
// across file systems a copy under a temporary name, checked by size, put in place, and only then
// the original deleted. A name already taken in the target folder is never overwritten.
namespace LocalFileMove {

enum class Result { Moved, Taken, Failed };

Result moveInto(const QString &file, const QString &targetFolder);

} // namespace LocalFileMove
