#include "FtpUploadTarget.h"

#include "FtpRemoteItem.h"
#include "RemoteSession.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";

} // namespace

FtpUploadTarget::FtpUploadTarget(RemoteSession &session, const QString &remotePath, FtpTransferType type, Note note,
                                 Consent consent, const QString &identity)
    : m_session(&session), m_path(remotePath),
      m_names(temporaryNames(remotePath, identity.isEmpty() ? randomPart() : stablePart(identity, remotePath))),
      m_type(type), m_note(std::move(note)), m_consent(std::move(consent))
{
}

// "/pub/a.txt" is first sent as "/pub/.a.txt.<random>.vestrigal-upload": in the same folder (a
// rename never crosses file systems), hidden from most listings while it grows, and this content's
// own, so that neither a file already there nor another upload to the same name is hit.
QStringList FtpUploadTarget::temporaryNames(const QString &remotePath, const QString &random)
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    const QString folder = remotePath.left(slash + 1);
    const QString name = remotePath.mid(slash + 1);
    const QString tail = QLatin1Char('.') + random + QStringLiteral(".vestrigal-upload");
    return {folder + QLatin1Char('.') + name + tail, folder + name + tail,
            folder + random.left(8) + QStringLiteral(".tmp")};
}

QString FtpUploadTarget::stablePart(const QString &identity, const QString &remotePath)
{
    const QByteArray hash =
        QCryptographicHash::hash((identity + QChar(0) + remotePath).toUtf8(), QCryptographicHash::Sha256);
    QString out;
    for (int i = 0; i < 12; ++i)
        out += QLatin1Char(kDigits[uchar(hash[i]) % 36]);
    return out;
}

// Twelve letters and digits from the system's generator: about 62 bits, 41 in the short name.
QString FtpUploadTarget::randomPart()
{
    QString out;
    for (int i = 0; i < 12; ++i)
        out += QLatin1Char(kDigits[QRandomGenerator::system()->bounded(36)]);
    return out;
}

bool FtpUploadTarget::usable() const
{
    return m_session && m_session->isOpen() && !m_session->isBusy();
}

// A permanent refusal, but not one for want of room: a transient one or a full disk would refuse
// every other name just as well.
bool FtpUploadTarget::nameRefused() const
{
    const int code = usable() ? m_session->lastReplyCode() : 0;
    return code >= 500 && code != 552 && code != 532;
}

std::unique_ptr<RemoteFile> FtpUploadTarget::store(const QString &path, State state, qint64 offset)
{
    if (!usable())
        return nullptr;
    auto file = m_session->openFile(path, RemoteFile::Write, m_type, offset);
    if (file) {
        m_state = state;
        m_leftOver = m_leftOver || state == State::Temporary;
    }
    return file;
}

std::unique_ptr<RemoteFile> FtpUploadTarget::openFirst(qint64 offset)
{
    m_tried = 0;
    m_declined = false;
    return store(m_names.first(), State::Temporary, offset);
}

std::unique_ptr<RemoteFile> FtpUploadTarget::open()
{
    m_declined = false;
    for (m_tried = 0; m_tried < m_names.size(); ++m_tried) {
        if (auto file = store(m_names[m_tried], State::Temporary))
            return file;
        if (!nameRefused())
            return nullptr;
    }
    m_tried = 0;
    m_why = Why::NamesRefused;
    return openDirect();
}

std::unique_ptr<RemoteFile> FtpUploadTarget::openDirect()
{
    m_declined = false;
    const FtpRemoteItem target = usable() ? FtpRemoteItem::probe(*m_session, m_path) : FtpRemoteItem{};
    if (!usable())
        return nullptr;
    if (target.kind == FtpRemoteItem::Folder) {
        m_session->refuse(QStringLiteral("%1 is a folder on the server: the file was not sent.").arg(m_path));
        return nullptr;
    }
    // A new name costs nothing if the upload fails; an existing file would be lost with it.
    if (target.kind != FtpRemoteItem::Absent && !mayReplace(m_why == Why::NamesRefused
                                                                ? QStringLiteral("The server refuses temporary names")
                                                                : QStringLiteral("The server refuses the rename"))) {
        m_declined = usable();
        if (m_declined)
            m_session->refuse(QStringLiteral("%1 was left as it was: the server takes the file only under its "
                                             "own name, and replacing it in place was not allowed.")
                                  .arg(m_path));
        return nullptr;
    }
    m_note(m_why == Why::RenameRefused
               ? QStringLiteral("Sending %1 again, under its own name.").arg(m_path)
               : QStringLiteral("The server refused the temporary names; storing under %1 instead.").arg(m_path));
    return store(m_path, State::Direct);
}

bool FtpUploadTarget::mayReplace(const QString &why)
{
    const QString question = QStringLiteral("%1: uploading over %2 replaces it in place; if the upload fails, the "
                                            "server's copy is lost.")
                                 .arg(why, m_path);
    return m_consent && m_consent(question) && usable();
}

bool FtpUploadTarget::rename()
{
    return usable() && m_session->renameFile(temporaryPath(), m_path);
}

FtpUploadTarget::Placed FtpUploadTarget::place(qint64 sentBytes)
{
    if (m_state == State::Direct)
        return Placed::Yes;
    if (m_state != State::Temporary || !usable())
        return Placed::Refused;
    // In ASCII mode the server may store other line ends than were sent: the target must hold what
    // the server holds under the temporary name.
    const qint64 expected = m_type == FtpTransferType::Binary ? sentBytes
                                                              : FtpRemoteItem::probe(*m_session, temporaryPath()).size;
    if (rename())
        return confirm(expected);
    // RNFR accepted but RNTO refused: some servers do not rename over an existing file, so the old
    // one goes, now that the new one is whole on the server; but only a file, never a folder.
    const QString refusal = usable() ? m_session->lastResponseInfo().trimmed() : QString();
    if (refusal.startsWith(QLatin1String("350")) &&
        FtpRemoteItem::probe(*m_session, m_path).kind == FtpRemoteItem::File && usable() &&
        m_session->deleteFile(m_path) && rename())
        return confirm(expected);
    if (m_session->protocol() == RemoteProtocol::Sftp && replaceAside())
        return confirm(expected);
    m_state = State::Unplaced;
    m_why = Why::RenameRefused;
    if (usable())
        m_note(QStringLiteral("The server would not rename %1 to %2: %3").arg(temporaryPath(), m_path, refusal));
    return Placed::Refused;
}

// SFTP servers rename only onto a free name: the old file steps aside under a name of its own,
// the new one takes its place, and only then does the old one go; it comes back when the new one
// cannot take the name.
bool FtpUploadTarget::replaceAside()
{
    const QString aside = temporaryPath() + QStringLiteral(".old");
    if (FtpRemoteItem::probe(*m_session, m_path).kind != FtpRemoteItem::File || !usable() ||
        !m_session->renameFile(m_path, aside))
        return false;
    if (rename()) {
        if (!m_session->deleteFile(aside) && usable())
            m_note(QStringLiteral("The old file was left on the server as %1.").arg(aside));
        return true;
    }
    const QString refusal = usable() ? m_session->lastResponseInfo() : QString();
    if (usable() && !m_session->renameFile(aside, m_path))
        m_note(QStringLiteral("The old file is on the server as %1.").arg(aside));
    if (usable())
        m_session->setLastResponse(refusal.toUtf8(), 0);
    return false;
}

// A server may answer 250 to a rename it did not make: the target must show the size sent.
FtpUploadTarget::Placed FtpUploadTarget::confirm(qint64 expected)
{
    const FtpRemoteItem now = usable() ? FtpRemoteItem::probe(*m_session, m_path) : FtpRemoteItem{};
    if (now.kind == FtpRemoteItem::Unknown ||
        (now.kind == FtpRemoteItem::File && (expected < 0 || now.size == expected))) {
        m_state = State::Placed;
        m_leftOver = false;
        return Placed::Yes;
    }
    m_state = State::Unconfirmed;
    const QString why = QStringLiteral("The server answered that %1 was renamed to %2, but %2 does not hold the %3 "
                                       "bytes sent: the upload failed. The file sent may still be on the server "
                                       "as %1.")
                            .arg(temporaryPath(), m_path)
                            .arg(expected);
    m_note(why);
    m_session->refuse(why);
    return Placed::Unconfirmed;
}

void FtpUploadTarget::end()
{
    if (!m_leftOver || m_state == State::Unconfirmed)
        return; // nothing there, or named already
    if (usable() && m_session->deleteFile(temporaryPath())) {
        m_leftOver = false;
        return;
    }
    m_note(QStringLiteral("The temporary file %1 was left on the server.").arg(temporaryPath()));
}
