#include "FtpUploadTarget.h"

#include "FtpSession.h"

FtpUploadTarget::FtpUploadTarget(FtpSession &session, const QString &remotePath, FtpTransferType type, Note note)
    : m_session(session), m_path(remotePath), m_temporary(temporaryPath(remotePath)), m_type(type),
      m_note(std::move(note))
{
}

// "/pub/a.txt" is sent as "/pub/.a.txt.vestrigal-upload": same folder (a rename never crosses file
// systems), hidden from most listings while it grows, and a name nobody else uses.
QString FtpUploadTarget::temporaryPath(const QString &remotePath)
{
    const qsizetype slash = remotePath.lastIndexOf(QLatin1Char('/'));
    return remotePath.left(slash + 1) + QLatin1Char('.') + remotePath.mid(slash + 1) +
           QStringLiteral(".vestrigal-upload");
}

bool FtpUploadTarget::usable() const
{
    return m_session.isOpen() && !m_session.isBusy();
}

std::unique_ptr<FtpFile> FtpUploadTarget::open()
{
    auto file = m_session.openFile(m_temporary, FtpFile::Write, m_type);
    if (file)
        m_state = State::Temporary;
    return file;
}

// A permanent refusal, but not one for want of room: a transient one or a full disk would refuse
// the real name just as well, after the old file had been deleted for nothing.
bool FtpUploadTarget::nameRefused() const
{
    const int code = m_session.lastReplyCode();
    return usable() && code >= 500 && code != 552 && code != 532;
}

// Straight under the real name, which overwrites the old file on nearly every server. The old file
// is not deleted first: were the real name refused too, it would be lost for nothing.
std::unique_ptr<FtpFile> FtpUploadTarget::openDirect()
{
    m_note(m_unplaced ? QStringLiteral("Sending %1 again, under its own name.").arg(m_path)
                      : QStringLiteral("The server refused the temporary name %1; storing under %2 instead.")
                            .arg(m_temporary, m_path));
    auto file = m_session.openFile(m_path, FtpFile::Write, m_type);
    if (file)
        m_state = State::Direct;
    return file;
}

bool FtpUploadTarget::place()
{
    if (m_state != State::Temporary)
        return m_state == State::Direct;
    if (m_session.renameFile(m_temporary, m_path)) {
        m_state = State::Placed;
        return true;
    }
    // RNFR accepted but RNTO refused: some servers do not rename over an existing file, so the old
    // one goes, now that the new one is whole on the server.
    const bool overExisting = m_session.lastResponseInfo().startsWith(QLatin1String("350"));
    if (overExisting && usable() && m_session.deleteFile(m_path) && m_session.renameFile(m_temporary, m_path)) {
        m_state = State::Placed;
        return true;
    }
    m_state = State::Unplaced;
    m_unplaced = true;
    if (usable())
        m_note(QStringLiteral("The server would not rename %1 to %2: %3")
                   .arg(m_temporary, m_path, m_session.lastResponseInfo().trimmed()));
    return false;
}

void FtpUploadTarget::end(bool sent)
{
    const bool partial = m_state == State::Temporary;
    if (m_unplaced && !sent) {
        m_note(QStringLiteral("The file sent is on the server as %1.").arg(m_temporary));
        return;
    }
    if ((partial || m_unplaced) && usable())
        m_session.deleteFile(m_temporary);
}
