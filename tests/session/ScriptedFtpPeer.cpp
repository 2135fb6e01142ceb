#include "ScriptedFtpPeer.h"

#include "support/FtpTestKit.h"

#include <QTimer>

#include <algorithm>

ScriptedFtpPeer::ScriptedFtpPeer()
{
    m_control.listen(QHostAddress::LocalHost);
    m_data.listen(QHostAddress::LocalHost);
    connect(&m_control, &QTcpServer::newConnection, this, &ScriptedFtpPeer::onControlConnection);
    connect(&m_data, &QTcpServer::newConnection, this, [this] {
        m_dataClient = m_data.nextPendingConnection();
        QTcpSocket *socket = m_dataClient;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { m_received += socket->readAll(); });
    });
    const quint16 p = dataPort();
    m_greeting = {reply("220 Scripted peer.\r\n")};
    on("AUTH", {reply("502 No TLS here.\r\n")});
    on("USER", {reply("331 Password please.\r\n")});
    on("PASS", {reply("230 Logged in.\r\n")});
    on("FEAT", {reply("500 Unknown.\r\n")});
    on("TYPE", {reply("200 Type set.\r\n")});
    on("SIZE", {reply("550 No size here.\r\n")});
    on("EPSV", {reply("229 Extended passive (|||" + QByteArray::number(p) + "|)\r\n")});
    on("PASV",
       {reply("227 Passive (127,0,0,1," + QByteArray::number(p >> 8) + ',' + QByteArray::number(p & 255) + ").\r\n")});
}

void ScriptedFtpPeer::onControlConnection()
{
    m_client = m_control.nextPendingConnection();
    connect(m_client, &QTcpSocket::readyRead, this, &ScriptedFtpPeer::onCommandBytes);
    play(m_greeting);
}

void ScriptedFtpPeer::onCommandBytes()
{
    m_partial += m_client->readAll();
    qsizetype end;
    while ((end = m_partial.indexOf("\r\n")) >= 0) {
        const QByteArray line = m_partial.left(end);
        m_partial.remove(0, end + 2);
        m_commands.append(line);
        const QByteArray verb = line.split(' ').value(0).toUpper();
        const auto handler = m_handlers.constFind(verb);
        const QList<Step> steps = handler != m_handlers.constEnd() ? (*handler)(line) : m_script.value(verb);
        if (verb == "STOR") // after the handler, which may still look at the last upload
            m_received.clear();
        play(steps);
    }
}

void ScriptedFtpPeer::play(const QList<Step> &steps)
{
    const bool idle = m_playing.isEmpty();
    m_playing += steps;
    if (idle)
        next();
}

void ScriptedFtpPeer::next()
{
    while (!m_playing.isEmpty() && m_client) {
        const Step step = m_playing.first();
        if (step.kind == Step::Wait) {
            m_playing.removeFirst();
            QTimer::singleShot(step.ms, this, &ScriptedFtpPeer::next);
            return;
        }
        if (step.kind == Step::CloseControl) {
            m_playing.clear();
            m_client->disconnectFromHost();
            return;
        }
        if (step.kind != Step::Control && !m_dataClient) {
            QTimer::singleShot(5, this, &ScriptedFtpPeer::next); // the client has not connected yet
            return;
        }
        m_playing.removeFirst();
        if (step.kind == Step::Control) {
            m_client->write(step.bytes);
            m_client->flush();
        } else if (step.kind == Step::Data) {
            m_dataClient->write(step.bytes);
            m_dataClient->flush();
        } else {
            m_dataClient->disconnectFromHost();
            m_dataClient = nullptr;
        }
    }
}

QList<ScriptedFtpPeer::Step> ScriptedFtpPeer::sending(const QByteArray &data, const QByteArray &preliminary,
                                                      const QByteArray &final)
{
    return {reply(preliminary), ScriptedFtpPeer::data(data), closeData(), wait(30), reply(final)};
}

FtpOptions ScriptedFtpPeer::options(int timeoutMs, const QString &password) const
{
    return FtpTestKit::options(QStringLiteral("127.0.0.1"), port(), QStringLiteral("user"), password, timeoutMs);
}

qsizetype ScriptedFtpPeer::count(const QByteArray &verb) const
{
    return std::count_if(m_commands.begin(), m_commands.end(), [&](const QByteArray &c) { return c.startsWith(verb); });
}
