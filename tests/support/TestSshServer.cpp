#include "TestSshServer.h"

#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

TestSshProcess::TestSshProcess() = default;

TestSshProcess::~TestSshProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate(); // the script stops its server and the sessions it started
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void TestSshProcess::start(const QString &script, const QStringList &args)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    // Its messages go to a file: a pipe nobody reads while a test waits would stall the server.
    const QString log = m_dir.path() + QStringLiteral("/server.log");
    m_process.setStandardErrorFile(log);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{TestSupport::sourceDir() + QStringLiteral("/tests/support/") + script} + args);
    // Host keys are made at start (an RSA one for sshd), which may take a few seconds.
    QDeadlineTimer deadline(30000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        out += m_process.readAllStandardOutput();
    }
    if (out.startsWith("SKIP "))
        m_skip = QString::fromUtf8(out.mid(5).trimmed());
    else if (out.startsWith("PORT "))
        m_port = quint16(out.mid(5).trimmed().toUInt());
    else
        m_error = QStringLiteral("no server: ") + QString::fromLocal8Bit(out + TestSupport::contentOf(log));
}

QString TestSshProcess::hostKeyLine() const
{
    QFile pub(m_hostKeyPub);
    if (!pub.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> fields = pub.readAll().simplified().split(' ');
    const QString name = m_port == 22 ? host() : QStringLiteral("[%1]:%2").arg(host()).arg(m_port);
    return fields.size() < 2 ? QString() : name + ' ' + QString::fromLatin1(fields[0] + ' ' + fields[1]);
}

QString TestSshProcess::pathOf(const QString &relative) const
{
    return QDir(rootPath()).filePath(relative);
}

bool TestSshProcess::writeFile(const QString &relative, const QByteArray &data) const
{
    return TestSupport::writeFile(pathOf(relative), data);
}

QByteArray TestSshProcess::readFile(const QString &relative) const
{
    return TestSupport::contentOf(pathOf(relative));
}

TestSshServer::TestSshServer(const QStringList &extraArgs)
{
    m_hostKeyPub = folder() + QStringLiteral("/host_ed25519_key.pub");
    start(QStringLiteral("sshd.py"), QStringList{folder(), QStringLiteral("--passphrase"), passphrase()} + extraArgs);
}

TestSshServer::~TestSshServer()
{
    if (m_agent.state() != QProcess::NotRunning) {
        m_agent.kill();
        m_agent.waitForFinished(3000);
    }
}

QString TestSshServer::startAgent(const QString &keyName)
{
    const QString socket = folder() + QStringLiteral("/agent.sock");
    // The agent runs as long as its command, cat, which ends when our end of its input closes: no
    // agent outlives the test, even one that crashed.
    m_agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-a"), socket, QStringLiteral("cat")});
    QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(socket) && !deadline.hasExpired() && m_agent.state() != QProcess::NotRunning)
        QThread::msleep(20);
    QProcess add;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_AUTH_SOCK"), socket);
    add.setProcessEnvironment(env);
    add.start(QStringLiteral("ssh-add"), {clientKeyFolder() + '/' + keyName});
    add.closeWriteChannel();
    const bool added = add.waitForFinished(5000) && add.exitStatus() == QProcess::NormalExit && add.exitCode() == 0;
    return added ? socket : QString();
}

TestSftpScript::TestSftpScript(const QStringList &extraArgs)
{
    m_hostKeyPub = folder() + QStringLiteral("/host_key.pub");
    QDir().mkpath(rootPath());
    start(QStringLiteral("sftpserver.py"), QStringList{rootPath(), folder() + QStringLiteral("/host_key")} + extraArgs);
}

QString TestSftpScript::logins() const
{
    QFile log(folder() + QStringLiteral("/logins.log"));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
