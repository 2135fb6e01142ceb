#pragma once

#include <QString>
#include <functional>

// A server's SSH host key as the user is asked about it, before any password or key is sent.
struct SshHostKey
{
    enum class State { Unknown, Changed }; // Changed: another key is on record for this server
    QString host;
    quint16 port = 22;
    QString type;        // "ssh-ed25519", "ecdsa-sha2-nistp256", "rsa-sha2-512", ...
    QString fingerprint; // "SHA256:" and the unpadded base64 of its SHA-256, as OpenSSH prints it
    State state = State::Unknown;
};

// What the user decided: Once trusts it for this connection, Always also keeps it in the
// program's own store of trusted keys.
enum class SshTrust { Cancel, Once, Always };
using SshHostKeyCheck = std::function<SshTrust(const SshHostKey &)>;

// A passphrase for a protected private key file; empty for none (the key is then skipped).
using SshPassphraseSource = std::function<QString(const QString &keyFile)>;
