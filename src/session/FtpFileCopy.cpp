#include "FtpFileCopy.h"

#include "FtpSession.h"

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
bool pumpNowAndThen(QElapsedTimer &clock, const QPointer<FtpSession> &session)
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
    QPointer<FtpSession> session(&m_session);
    auto file = m_session.openFile(remotePath, FtpFile::Read, type);
    if (!file)
        return false;
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

bool FtpFileCopy::upload(const QString &localPath, const QString &remotePath, FtpTransferType type)
{
    QFile source(localPath);
    if (!source.open(QIODevice::ReadOnly))
        return localFailure(QStringLiteral("Could not read %1: %2").arg(localPath, source.errorString()));
    QPointer<FtpSession> session(&m_session);
    auto file = m_session.openFile(remotePath, FtpFile::Write, type);
    if (!file)
        return false;
    std::vector<char> buffer(kBlock);
    QElapsedTimer clock;
    clock.start();
    qint64 n = 0;
    bool sent = true;
    while (sent && (n = source.read(buffer.data(), kBlock)) > 0) {
        sent = file->write(buffer.data(), n) == n;
        if (!pumpNowAndThen(clock, session))
            return false;
    }
    const bool ok = file->close() && sent && n == 0;
    if (session && n < 0)
        return localFailure(QStringLiteral("Could not read %1: %2").arg(localPath, source.errorString()));
    return ok;
}
