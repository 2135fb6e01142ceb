#pragma once

#include <QByteArray>
#include <QString>

// The program's own store of host keys the user chose to always trust: OpenSSH known_hosts lines
// in a file only its owner may read or write (0600).
namespace SshTrustedKeys {

// Adds `line` ("[host]:port type base64"), first dropping the lines for the same host (a key that
// replaces a changed one). False with `error` when the file cannot be written.
bool keep(const QString &file, const QByteArray &line, QString *error);

} // namespace SshTrustedKeys
