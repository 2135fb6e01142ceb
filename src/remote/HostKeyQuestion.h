#pragma once

#include "SshHostKey.h"

#include <QStringList>

class Prompter;

// The question the user answers for an SSH host key that is neither in ~/.ssh/known_hosts nor
// among the keys the user chose to trust, before any password or key is sent: the server, the
// key's type and its SHA-256 fingerprint. A key that differs from the one on record is put as the
// same question under a warning that someone may be in between; Cancel is always the way out.
namespace HostKeyQuestion {

QString text(const SshHostKey &key);
QStringList buttons(); // "Trust once", "Always trust", "Cancel"
// Asks; storing an "Always trust" is the caller's, which knows the store.
SshTrust ask(const SshHostKey &key, Prompter &prompter);
// Asks "Passphrase for the key <file>:" in a masked box; empty when cancelled.
SshPassphraseSource passphraseQuestion(Prompter &prompter);

} // namespace HostKeyQuestion
