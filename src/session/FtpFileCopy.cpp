#include "FtpFileCopy.h"

#include "RemoteSession.h"
#include "FtpUploadTarget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSaveFile>
#include <vector>

namespace {

constexpr qint64 kBlock = 256 * 1024;
constexpr int kPumpEveryMs = 50; // keeps the window alive while data pours in

// Lets events run now and then; false when the session went away meanwhile.
bool pumpNowAndThen(QElapsedTimer &clock, const QPointer<RemoteSession> &session)
{
    if (clock.elapsed() < kPumpEveryMs)
        return true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    clock.restart();
    return !session.isNull();
}

} // namespace

bool FtpFileCopy::localFailure(const QString &why)
{
    return m_session.refuse(why);
}

bool FtpFileCopy::download(const QString &remotePath, const QString &localPath, FtpTransferType type)
{
    QSaveFile target(localPath);
    // Unbuffered: a buffered QSaveFile commits a file cut short by a full disk as if it were whole.
    if (!target.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return localFailure(QStringLiteral("Could not write %1: %2").arg(localPath, target.errorString()));
    QPointer<RemoteSession> session(&m_session);
    const qint64 size = m_session.fileSize(remotePath); // a short transfer is then told from a whole one
    if (!session)
        return false;
    auto file = m_session.openFile(remotePath, RemoteFile::Read, type);
    if (!file)
        return false;
    file->setExpectedSize(size);
    std::vector<char> buffer(kBlock);
    QElapsedTimer clock;
    clock.start();
    qint64 n = 0;
    bool written = true;
    while ((n = file->read(buffer.data(), kBlock)) > 0 && written) {
        written = target.write(buffer.data(), n) == n;
        if (!pumpNowAndThen(clock, session))
            return false;
    }
    const bool ok = file->close() && n == 0 && written;
    if (!session)
        return false;
    if (!written)
        return localFailure(QStringLiteral("Could not write %1: %2").arg(localPath, target.errorString()));
    if (ok && !target.commit())
        return localFailure(QStringLiteral("Could not write %1: %2").arg(localPath, target.errorString()));
    return ok;
}

// Without anyone to ask, a file the server holds is never replaced in place: where the server
// takes neither a temporary name nor the rename, putFile fails and the server's file stays.
bool FtpFileCopy::upload(const QString &localPath, const QString &remotePath, FtpTransferType type)
{
    QFile source(localPath);
    if (!source.open(QIODevice::ReadOnly))
        return localFailure(QStringLiteral("Could not read %1: %2").arg(localPath, source.errorString()));
    QPointer<RemoteSession> session(&m_session);
    FtpUploadTarget target(m_session, remotePath, type, [session](const QString &text) {
        if (session)
            emit session->notice(text);
    });
    auto file = target.open();
    if (!file)
        return false;
    qint64 sent = 0;
    bool ok = send(source, *file, sent);
    if (ok && session) {
        const FtpUploadTarget::Placed placed = target.place(sent);
        if (placed == FtpUploadTarget::Placed::Refused) {
            file = source.seek(0) && session ? target.openDirect() : nullptr;
            ok = file && send(source, *file, sent);
        }
        ok = ok && placed != FtpUploadTarget::Placed::Unconfirmed;
    }
    if (!session)
        return false;
    // The clean-up's replies must not hide why the upload failed.
    const QString reply = m_session.lastResponseInfo();
    const int code = m_session.lastReplyCode();
    target.end();
    if (session && !ok)
        m_session.setLastResponse(reply.toUtf8(), code);
    return ok;
}

bool FtpFileCopy::send(QFile &source, RemoteFile &file, qint64 &sent)
{
    QPointer<RemoteSession> session(&m_session);
    std::vector<char> buffer(kBlock);
    QElapsedTimer clock;
    clock.start();
    qint64 n = 0;
    bool written = true;
    sent = 0;
    while (written && (n = source.read(buffer.data(), kBlock)) > 0) {
        written = file.write(buffer.data(), n) == n;
        sent += n;
        if (!pumpNowAndThen(clock, session))
            return false;
    }
    if (n < 0) {
        file.abort();
        return session &&
               localFailure(QStringLiteral("Could not read %1: %2").arg(source.fileName(), source.errorString()));
    }
    return file.close() && written;
}
