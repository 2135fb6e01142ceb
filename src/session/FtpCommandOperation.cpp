#include "FtpCommandOperation.h"

#include "FtpDataSocket.h"

#include <algorithm>

FtpCommandOperation::FtpCommandOperation(FtpContext &context, const QByteArray &command, Kind kind, QObject *parent)
    : FtpOperation(context, parent), m_command(command), m_kind(kind)
{
}

void FtpCommandOperation::start()
{
    if (m_kind == Kind::Raw && opensDataConnection() && !m_ctx.rawPassive) {
        m_preparingPassive = true;
        send("PASV");
        return;
    }
    send(m_command, m_logged);
    if (m_kind == Kind::Raw && opensDataConnection())
        drainRawData();
}

void FtpCommandOperation::onReply(const FtpReply &reply)
{
    if (m_preparingPassive) {
        if (reply.isPreliminary())
            return armTimer();
        // Whether or not the server gave an address, the user's command goes now, as typed.
        m_preparingPassive = false;
        rememberPassive(reply, "PASV");
        send(m_command, m_logged);
        drainRawData();
        return armTimer();
    }
    keep(reply);
    if (reply.isPreliminary())
        return armTimer();
    if (m_kind == Kind::Raw)
        rememberPassive(reply, m_command.trimmed().toUpper());
    const bool ok = m_kind == Kind::Raw ? reply.code < 400 : reply.isPositive();
    ok ? succeed() : fail();
}

void FtpCommandOperation::cleanup()
{
    if (m_drain)
        m_drain->abort();
}

bool FtpCommandOperation::opensDataConnection() const
{
    static const QByteArray verbs[] = {"LIST", "NLST", "MLSD", "RETR", "STOR", "STOU", "APPE"};
    const QByteArray verb = m_command.trimmed().split(' ').value(0).toUpper();
    return std::find(std::begin(verbs), std::end(verbs), verb) != std::end(verbs);
}

// The server waits on the address of the last raw PASV/EPSV: connect and throw the data away.
void FtpCommandOperation::drainRawData()
{
    if (!m_ctx.rawPassive)
        return;
    const auto endpoint = *m_ctx.rawPassive;
    m_ctx.rawPassive.reset();
    m_drain = FtpDataSocket::create(m_ctx.protectData, m_ctx.control, this);
    m_drain->setProxy(m_ctx.control.proxy());
    connect(m_drain, &QTcpSocket::connected, m_drain, [this] { FtpDataSocket::startTls(m_drain); });
    connect(m_drain, &QTcpSocket::readyRead, this, [this] {
        m_drain->readAll();
        armTimer();
    });
    if (m_command.toUpper().startsWith("ST") || m_command.toUpper().startsWith("APPE"))
        connect(m_drain, &QTcpSocket::connected, m_drain, &QTcpSocket::disconnectFromHost);
    m_drain->connectToHost(endpoint.address, endpoint.port);
}

void FtpCommandOperation::rememberPassive(const FtpReply &reply, const QByteArray &verb)
{
    const QHostAddress peer = m_ctx.control.peerAddress();
    if (reply.code == 227 && verb == "PASV") {
        if (auto endpoint = FtpDataAddress::parsePasv(reply.text)) {
            endpoint->address = peer; // only the port counts: the data goes where the control goes
            m_ctx.rawPassive = endpoint;
        }
    } else if (reply.code == 229 && verb.startsWith("EPSV")) {
        if (auto port = FtpDataAddress::parseEpsv(reply.text))
            m_ctx.rawPassive = FtpDataAddress::Endpoint{peer, *port};
    }
}
