#include "TestFtpServer.h"

#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>

TestFtpServer::TestFtpServer(const QStringList &extraArgs)
{
    if (!m_root.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const qsizetype hostAt = extraArgs.indexOf(QStringLiteral("--host"));
    if (hostAt >= 0 && hostAt + 1 < extraArgs.size())
        m_host = extraArgs[hostAt + 1];
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start("/usr/bin/python3", QStringList{scriptPath(), m_root.path(), user(), password(), "0"} + extraArgs);
    if (!waitUntilAccepting(20000)) {
        m_port = 0;
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

TestFtpServer::~TestFtpServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString TestFtpServer::scriptPath()
{
    return TestSupport::sourceDir() + QStringLiteral("/tests/support/ftpserver.py");
}

// Reads "PORT n" from the server, then checks that it really accepts a connection.
bool TestFtpServer::waitUntilAccepting(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            m_error = QString::fromLocal8Bit(m_process.readAllStandardError());
            return false;
        }
        out += m_process.readAllStandardOutput();
    }
    if (!out.startsWith("PORT ")) {
        m_error = QStringLiteral("unexpected output: ") + QString::fromLocal8Bit(out);
        return false;
    }
    m_port = quint16(out.mid(5).trimmed().toUInt());
    QTcpSocket probe;
    probe.connectToHost(host(), m_port);
    if (!probe.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
        m_error = QStringLiteral("server does not accept: ") + probe.errorString();
        return false;
    }
    probe.abort();
    return m_port != 0;
}

QString TestFtpServer::pathOf(const QString &relative) const
{
    return QDir(m_root.path()).filePath(relative);
}

bool TestFtpServer::writeFile(const QString &relative, const QByteArray &data) const
{
    const QString path = pathOf(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray TestFtpServer::readFile(const QString &relative) const
{
    QFile f(pathOf(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
