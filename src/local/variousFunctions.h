#pragma once

#include "FileOpener.h"

#include <QString>

// File routines that every pane shares.
namespace variousFunctions {

// The text after the last "." of the name (its last path component), without the dot; empty when there
// is no dot. The case is kept: callers compare in lower case where it selects behaviour.
QString GetFileExtension(const QString &fileName);

// The text up to, not including, its first NUL; the text itself when it holds none.
QString CutAtNull(const QString &text);

// The human-readable type of a file, never empty: "System file" for .sys, else the desktop's
// description of the extension's MIME type, else the extension in capitals and " file", or "File"
// when there is no extension. Depends on the extension only, and is remembered per extension.
QString GetFileTypeDescription(const QString &fileName);

// Opens a local file: an executable file is started itself (in its own folder), any other file with
// the program the desktop associates with it. True when a program was started.
bool OpenWithAssociatedProgram(const QString &path, FileOpener &opener);
bool OpenWithAssociatedProgram(const QString &path);

} // namespace variousFunctions
