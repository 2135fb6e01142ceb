#include "HostKeyQuestion.h"

#include "Prompter.h"

namespace {

// "host", or "host port 2222" when the server is not on SSH's own port.
QString server(const SshHostKey &key)
{
    return key.port == 22 ? key.host : QStringLiteral("%1 port %2").arg(key.host).arg(key.port);
}

QString keyLines(const SshHostKey &key)
{
    return QStringLiteral("Key type: %1\nFingerprint: %2").arg(key.type, key.fingerprint);
}

} // namespace

namespace HostKeyQuestion {

QString text(const SshHostKey &key)
{
    const QString nothingSent = QStringLiteral("Nothing has been sent yet: no password, no key.");
    if (key.state == SshHostKey::State::Changed)
        return QStringLiteral("WARNING: THE SERVER'S HOST KEY HAS CHANGED.\n\n"
                              "The host key of %1 is not the one on record for it. Someone may be between this "
                              "program and the server, reading and changing everything that passes; or the server "
                              "was given a new key. Ask its administrator before you go on.\n\n%2\n\n%3 "
                              "Trust once: connect this time only. Always trust: connect, and keep this key for this "
                              "server in place of the old one. Cancel: do not connect.")
            .arg(server(key), keyLines(key), nothingSent);
    return QStringLiteral("The host key of %1 is not known: it is neither in your known_hosts file nor among the "
                          "keys you chose to trust. Compare its fingerprint with the one the server's administrator "
                          "gives you.\n\n%2\n\n%3 Trust once: connect this time only. Always trust: connect, and "
                          "trust this key for this server from now on. Cancel: do not connect.")
        .arg(server(key), keyLines(key), nothingSent);
}

QStringList buttons()
{
    return {QStringLiteral("Trust once"), QStringLiteral("Always trust"), QStringLiteral("Cancel")};
}

SshTrust ask(const SshHostKey &key, Prompter &prompter)
{
    const auto icon = key.state == SshHostKey::State::Changed ? Prompter::Icon::Critical : Prompter::Icon::Warning;
    switch (prompter.choose(text(key), buttons(), icon)) {
    case 0:
        return SshTrust::Once;
    case 1:
        return SshTrust::Always;
    default:
        return SshTrust::Cancel;
    }
}

SshPassphraseSource passphraseQuestion(Prompter &prompter)
{
    return [&prompter](const QString &keyFile) {
        return prompter.secret(QStringLiteral("Passphrase for the key %1:").arg(keyFile));
    };
}

} // namespace HostKeyQuestion
