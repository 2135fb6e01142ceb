#pragma once

#include <QString>

// Remote folder paths are absolute and end with "/".
namespace RemotePaths {

// The key of the ".." row: the parent path without its final "/" ("" below a first-level folder).
QString parentKey(const QString &folder);
// The folder one level up, keeping its final "/": "/pub/files/" gives "/pub/".
QString upOneLevel(const QString &folder);
// A typed path as the current folder: trailing "//" folded, one final "/" added.
QString fromTyped(QString typed);

} // namespace RemotePaths
