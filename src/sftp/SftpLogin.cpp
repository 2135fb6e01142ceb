// Opening an SFTP session: the connection, the server's host key, the login, the SFTP channel.
#include "SftpSession.h"

#include "SftpFile.h"
#include "SshLink.h"
#include "SshTrustedKeys.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {

QString methodNames(int methods)
{
    QStringList names;
    if (methods & SSH_AUTH_METHOD_PUBLICKEY)
        names << QStringLiteral("publickey");
    if (methods & SSH_AUTH_METHOD_PASSWORD)
        names << QStringLiteral("password");
    if (methods & SSH_AUTH_METHOD_INTERACTIVE)
        names << QStringLiteral("keyboard-interactive");
    if (methods & SSH_AUTH_METHOD_HOSTBASED)
        names << QStringLiteral("hostbased");
    if (methods & SSH_AUTH_METHOD_GSSAPI_MIC)
        names << QStringLiteral("gssapi-with-mic");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

} // namespace

bool SftpSession::open(const FtpOptions &options)
{
    if (m_busy || m_file)
        return refuse(QStringLiteral("Another operation is in progress on this connection."));
    close();
    m_loginLog.clear();
    m_options = options;
    m_password = options.password;
    m_cwd = QStringLiteral("/");
    m_names.clear();
    for (const QString &field : {options.host, options.user, options.password})
        if (field.contains(QChar(0)))
            return refuse(QStringLiteral("Refused: a connection field contains a NUL character."));
    if (m_sshFolder.isEmpty())
        m_sshFolder = QDir::homePath() + QStringLiteral("/.ssh");
    if (!options.proxy.isEmpty())
        logLine(LogLine::Warning, QStringLiteral("The proxy setting does not apply to SFTP: connecting directly."));
    QPointer<SftpSession> self(this);
    m_busy = true;
    const bool ok = connectAndCheckKey(options) && self && logIn(options) && self && startSftp();
    if (!self)
        return false;
    m_busy = false;
    m_open = ok;
    if (!ok && m_link) {
        m_link->cut();
        m_link.reset();
    }
    return ok;
}

bool SftpSession::connectAndCheckKey(const FtpOptions &options)
{
    m_link = std::make_unique<SshLink>();
    SshLink &link = *m_link;
    const QByteArray host = options.host.toUtf8(), user = options.user.toUtf8();
    const QByteArray folder = QFile::encodeName(m_sshFolder);
    const QByteArray knownHosts = folder + "/known_hosts";
    const QByteArray trusted =
        QFile::encodeName(m_trustedKeysFile.isEmpty() ? QStringLiteral("/dev/null") : m_trustedKeysFile);
    const unsigned int port = options.port;
    const long seconds = std::max(1, (options.timeoutMs + 999) / 1000);
    logLine(LogLine::Note, QStringLiteral("Connecting to %1 port %2 (SFTP)").arg(options.host).arg(port));
    bool connected = false;
    int known = SSH_KNOWN_HOSTS_ERROR;
    QByteArray hash, entry;
    SshHostKey key{options.host, quint16(port), {}, {}, SshHostKey::State::Unknown};
    QString banner, cipher;
    // Made here, before any call blocks: a cut() from another thread finds it complete.
    link.ssh = ssh_new();
    if (!link.ssh)
        return refuse(QStringLiteral("Could not connect: out of memory."));
    const bool processConfig = false;
    ssh_options_set(link.ssh, SSH_OPTIONS_HOST, host.constData());
    ssh_options_set(link.ssh, SSH_OPTIONS_PORT, &port);
    if (!user.isEmpty())
        ssh_options_set(link.ssh, SSH_OPTIONS_USER, user.constData());
    ssh_options_set(link.ssh, SSH_OPTIONS_PROCESS_CONFIG, &processConfig);
    ssh_options_set(link.ssh, SSH_OPTIONS_SSH_DIR, folder.constData());
    ssh_options_set(link.ssh, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
    ssh_options_set(link.ssh, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, trusted.constData());
    ssh_options_set(link.ssh, SSH_OPTIONS_TIMEOUT, &seconds);
    // Requests are small and answered one by one: Nagle's wait would hold each for the
    // server's delayed acknowledgement.
    const int noDelay = 1;
    ssh_options_set(link.ssh, SSH_OPTIONS_NODELAY, &noDelay);
    // AES-GCM first: with the processor's AES instructions it costs a fraction of
    // ChaCha20-Poly1305, libssh's first choice, and files are mostly bytes to decrypt.
    static const char ciphers[] = "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
                                  "aes128-ctr,aes192-ctr,aes256-ctr";
    ssh_options_set(link.ssh, SSH_OPTIONS_CIPHERS_C_S, ciphers);
    ssh_options_set(link.ssh, SSH_OPTIONS_CIPHERS_S_C, ciphers);
    link.run(
        [&] {
            connected = ssh_connect(link.ssh) == SSH_OK;
            if (!connected)
                return;
            banner = QString::fromUtf8(ssh_get_serverbanner(link.ssh));
            cipher = QStringLiteral("%1, %2").arg(QString::fromUtf8(ssh_get_cipher_in(link.ssh)),
                                                  QString::fromUtf8(ssh_get_kex_algo(link.ssh)));
            ssh_key serverKey = nullptr;
            if (ssh_get_server_publickey(link.ssh, &serverKey) != SSH_OK)
                return;
            unsigned char *digest = nullptr;
            size_t length = 0;
            if (ssh_get_publickey_hash(serverKey, SSH_PUBLICKEY_HASH_SHA256, &digest, &length) == SSH_OK) {
                hash = QByteArray(reinterpret_cast<const char *>(digest), qsizetype(length));
                char *text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, digest, length);
                key.fingerprint = QString::fromUtf8(text);
                ssh_string_free_char(text);
                ssh_clean_pubkey_hash(&digest);
            }
            key.type = QString::fromUtf8(ssh_key_type_to_char(ssh_key_type(serverKey)));
            ssh_key_free(serverKey);
            known = ssh_session_is_known_server(link.ssh);
            char *line = nullptr;
            if (known != SSH_KNOWN_HOSTS_OK && ssh_session_export_known_hosts_entry(link.ssh, &line) == SSH_OK) {
                entry = line;
                ssh_string_free_char(line);
            }
        },
        options.timeoutMs);
    if (!connected) {
        const QString why = link.timedOut() ? QStringLiteral("the server did not answer in time")
                                            : QString::fromUtf8(link.ssh ? ssh_get_error(link.ssh) : "out of memory");
        refuse(QStringLiteral("Could not connect: %1").arg(why));
        m_loginLog.append({LogLine::Reply, m_lastResponse});
        return false;
    }
    m_loginLog.append({LogLine::Reply, QStringLiteral("220 %1\r\n").arg(banner)});
    m_block = banner.contains(QLatin1String("OpenSSH")) ? SftpFile::LargeBlock : SftpFile::SmallBlock;
    logLine(LogLine::Note, QStringLiteral("The connection is encrypted (%1).").arg(cipher));
    if (hash.isEmpty())
        return refuse(QStringLiteral("The server's host key could not be read."));
    const QString described = QStringLiteral("%1 %2").arg(key.type, key.fingerprint);
    m_hostKey = described;
    if (known == SSH_KNOWN_HOSTS_OK || hash == options.trustedCertificate) {
        logLine(LogLine::Note, QStringLiteral("The server's host key %1 is on record.").arg(described));
        m_options.trustedCertificate = hash;
        return true;
    }
    if (known == SSH_KNOWN_HOSTS_ERROR)
        logLine(LogLine::Warning, QStringLiteral("The known hosts files could not be read: the key is asked about."));
    key.state = known == SSH_KNOWN_HOSTS_CHANGED || known == SSH_KNOWN_HOSTS_OTHER ? SshHostKey::State::Changed
                                                                                   : SshHostKey::State::Unknown;
    QPointer<SftpSession> self(this);
    const SshTrust answer = m_hostKeyCheck ? m_hostKeyCheck(key) : SshTrust::Cancel;
    if (!self)
        return false;
    if (answer == SshTrust::Cancel) {
        refuse(key.state == SshHostKey::State::Changed
                   ? QStringLiteral("The server's host key is not the one on record and was not accepted: the "
                                    "connection was closed before any password or key was sent.")
                   : QStringLiteral("The server's host key was not accepted: the connection was closed before any "
                                    "password or key was sent."));
        m_loginLog.append({LogLine::Reply, m_lastResponse});
        return false;
    }
    QString storeError;
    if (answer == SshTrust::Always && !m_trustedKeysFile.isEmpty() &&
        !SshTrustedKeys::keep(m_trustedKeysFile, entry, &storeError))
        logLine(LogLine::Warning, QStringLiteral("The key could not be stored: %1").arg(storeError));
    logLine(LogLine::Note, QStringLiteral("The server's host key %1 was accepted%2.")
                               .arg(described, answer == SshTrust::Always ? QStringLiteral(" and stored")
                                                                          : QStringLiteral(" for this connection")));
    m_options.trustedCertificate = hash;
    return true;
}

namespace {

// One login attempt as the log shows it.
struct Attempt
{
    QString what;
    int result = SSH_AUTH_DENIED;
};

} // namespace

bool SftpSession::logIn(const FtpOptions &options)
{
    SshLink &link = *m_link;
    const int limit = options.timeoutMs;
    int methods = 0;
    int result = SSH_AUTH_ERROR;
    link.run(
        [&] {
            result = ssh_userauth_none(link.ssh, nullptr);
            methods = ssh_userauth_list(link.ssh, nullptr);
        },
        limit);
    logLine(LogLine::Note, QStringLiteral("The server offers: %1.").arg(methodNames(methods)));
    // Each method in turn, the first accepted wins; a partial success asks for another method.
    const auto attempt = [&](const QString &what, const std::function<int()> &fn) {
        if (result == SSH_AUTH_SUCCESS || result == SSH_AUTH_ERROR)
            return;
        m_loginLog.append({LogLine::Command, QStringLiteral("USERAUTH %1").arg(what)});
        link.run([&] { result = fn(); }, limit);
        const QString reply = result == SSH_AUTH_SUCCESS   ? QStringLiteral("230 Accepted.")
                              : result == SSH_AUTH_PARTIAL ? QStringLiteral("331 Accepted; the server asks for more.")
                              : result == SSH_AUTH_ERROR
                                  ? QStringLiteral("421 %1").arg(QString::fromUtf8(ssh_get_error(link.ssh)))
                                  : QStringLiteral("530 Refused.");
        m_loginLog.append({LogLine::Reply, reply + QStringLiteral("\r\n")});
        if (result == SSH_AUTH_PARTIAL)
            link.run([&] { methods = ssh_userauth_list(link.ssh, nullptr); }, limit);
    };
    if ((methods & SSH_AUTH_METHOD_PUBLICKEY) && !qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK"))
        attempt(QStringLiteral("publickey (keys of the SSH agent)"),
                [&] { return ssh_userauth_agent(link.ssh, nullptr); });
    for (const char *name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const QString path = m_sshFolder + QLatin1Char('/') + QLatin1String(name);
        if (!(methods & SSH_AUTH_METHOD_PUBLICKEY) || result == SSH_AUTH_SUCCESS || result == SSH_AUTH_ERROR)
            break;
        if (!QFileInfo::exists(path))
            continue;
        ssh_key key = loadKey(path, options);
        if (!key)
            continue;
        attempt(QStringLiteral("publickey %1").arg(QDir::toNativeSeparators(path)),
                [&] { return ssh_userauth_publickey(link.ssh, nullptr, key); });
        ssh_key_free(key);
    }
    if ((methods & SSH_AUTH_METHOD_PASSWORD) && !options.password.isEmpty())
        attempt(QStringLiteral("password"),
                [&] { return ssh_userauth_password(link.ssh, nullptr, options.password.toUtf8().constData()); });
    if ((methods & SSH_AUTH_METHOD_INTERACTIVE) && !options.password.isEmpty())
        attempt(QStringLiteral("keyboard-interactive"), [&] {
            const QByteArray answer = options.password.toUtf8();
            int rc = ssh_userauth_kbdint(link.ssh, nullptr, nullptr);
            for (int round = 0; rc == SSH_AUTH_INFO && round < 8; ++round) {
                for (int i = 0, n = ssh_userauth_kbdint_getnprompts(link.ssh); i < n; ++i)
                    ssh_userauth_kbdint_setanswer(link.ssh, unsigned(i), answer.constData());
                rc = ssh_userauth_kbdint(link.ssh, nullptr, nullptr);
            }
            return rc == SSH_AUTH_INFO ? int(SSH_AUTH_DENIED) : rc;
        });
    if (result == SSH_AUTH_SUCCESS)
        return true;
    refuse(link.timedOut() ? QStringLiteral("421 Timeout: the server did not answer in time.")
                           : QStringLiteral("530 Login refused: the server offers %1, and none was accepted.")
                                 .arg(methodNames(methods)));
    m_lastCode = link.timedOut() ? 421 : 530;
    m_loginLog.append({LogLine::Reply, m_lastResponse});
    return false;
}

ssh_key SftpSession::loadKey(const QString &path, const FtpOptions &options)
{
    SshLink &link = *m_link;
    const QByteArray file = QFile::encodeName(path);
    // A key the server would not take is not unlocked: its public half is offered first.
    int offered = SSH_AUTH_SUCCESS;
    link.run(
        [&] {
            ssh_key pub = nullptr;
            if (ssh_pki_import_pubkey_file((file + ".pub").constData(), &pub) == SSH_OK) {
                offered = ssh_userauth_try_publickey(link.ssh, nullptr, pub);
                ssh_key_free(pub);
            }
        },
        options.timeoutMs);
    if (offered != SSH_AUTH_SUCCESS) {
        logLine(LogLine::Note,
                QStringLiteral("The server does not take the key %1.").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    ssh_key key = nullptr;
    const auto import = [&](const QString &passphrase) {
        const QByteArray secret = passphrase.toUtf8();
        link.run(
            [&] {
                if (ssh_pki_import_privkey_file(file.constData(), secret.isEmpty() ? nullptr : secret.constData(),
                                                nullptr, nullptr, &key) != SSH_OK)
                    key = nullptr;
            },
            options.timeoutMs);
        return key != nullptr;
    };
    if (import(options.keyPassphrase))
        return key;
    QPointer<SftpSession> self(this);
    const QString passphrase = m_passphrase ? m_passphrase(path) : QString();
    if (!self || passphrase.isEmpty()) {
        if (self)
            logLine(LogLine::Note,
                    QStringLiteral("The key %1 is protected and was skipped.").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    if (!import(passphrase)) {
        logLine(LogLine::Warning,
                QStringLiteral("The passphrase for the key %1 was not accepted.").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    m_options.keyPassphrase = passphrase;
    return key;
}

bool SftpSession::startSftp()
{
    SshLink &link = *m_link;
    QByteArray home;
    int version = 0;
    m_loginLog.append({LogLine::Command, QStringLiteral("SUBSYSTEM sftp")});
    link.run(
        [&] {
            link.sftp = sftp_new(link.ssh);
            if (!link.sftp || sftp_init(link.sftp) != SSH_OK)
                return;
            version = sftp_server_version(link.sftp);
            if (char *real = sftp_canonicalize_path(link.sftp, ".")) {
                home = real;
                ssh_string_free_char(real);
            }
        },
        m_options.timeoutMs);
    if (home.isEmpty()) {
        refuse(
            QStringLiteral("421 The server has no SFTP service: %1").arg(QString::fromUtf8(ssh_get_error(link.ssh))));
        m_lastCode = 421;
        m_loginLog.append({LogLine::Reply, m_lastResponse});
        return false;
    }
    m_cwd = m_names.decode(home);
    m_loginLog.append(
        {LogLine::Reply, QStringLiteral("230 SFTP version %1; the folder is %2.\r\n").arg(version).arg(m_cwd)});
    setLastResponse(m_loginLog.last().text.toUtf8(), 230);
    return true;
}
