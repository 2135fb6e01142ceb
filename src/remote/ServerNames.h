#pragma once

#include <QString>
#include <optional>

// Names a server gives are data, not paths. Whatever turns such a name into a local path
// (downloads from the menus, the tree and drops, the folder walks, the temporary copies of the
// editor and viewer) goes through localPathForServerName(); whatever names an entry on the
// server (a tree node, a folder to remove, a local name to upload) checks isServerName().
namespace ServerNames {

// A name that can be one entry of a server folder: not empty, not "." or "..", no "/" and no
// control character. A "\" is an ordinary character on the server.
bool isServerName(const QString &name);

// A name that can be one file name in a local folder: a server name without "\" either (another
// system's separator, and a way out of the folder for anything that takes it as one).
bool isLocalFileName(const QString &name);

// The local path of a server's name inside a local folder (which ends with "/"); nothing when the
// name could leave the folder or is no file name here. The caller logs the refusal, once, with
// refusalText().
std::optional<QString> localPathForServerName(const QString &folder, const QString &name);

// The log line for a name refused on its way to the local disk (remotePath: where it came from).
QString refusalText(const QString &remotePath);
// The log line for a local name the server could not take as one entry.
QString uploadRefusalText(const QString &localPath);

} // namespace ServerNames
