#pragma once

#include "FtpOperation.h"
#include "FtpTypes.h"

#include <QTcpServer>
#include <QTcpSocket>

// The part every listing and transfer shares: TYPE (always sent: a raw command may have changed
// it), then the data connection, passive (EPSV, else PASV) or active (EPRT, else PORT), then the
// transfer command. Subclasses take over from the replies to that command on.
class FtpDataOperation : public FtpOperation
{
    Q_OBJECT
public:
    FtpDataOperation(FtpContext &context, FtpTransferType type, QObject *parent = nullptr);

    QTcpSocket *dataSocket() const { return m_data; }

protected:
    virtual QByteArray transferCommand() const = 0;
    virtual void onTransferReply(const FtpReply &reply) = 0;
    virtual void onDataConnected() {}
    virtual void onDataReadable() {}
    virtual void onDataClosed() {}
    virtual QIODevice::OpenMode dataOpenMode() const { return QIODevice::ReadWrite; }

    void start() override;
    void onReply(const FtpReply &reply) override;
    void cleanup() override;
    bool isDataConnected() const { return m_data && m_data->state() == QAbstractSocket::ConnectedState; }
    void releaseDataSocket(); // stop watching it: someone else reads or writes it now

private:
    enum class State { Type, Epsv, Pasv, Connecting, Eprt, Port, Transfer };

    void startPassive();
    void onPassiveReply(const FtpReply &reply);
    void connectData(const QString &host, const QHostAddress &address, quint16 port);
    void startActive();
    void onActiveReply(const FtpReply &reply);
    void onAccepted();
    void watchData();
    void sendTransferCommand();

    FtpTransferType m_type;
    State m_state = State::Type;
    QTcpSocket *m_data = nullptr;
    QTcpServer *m_listener = nullptr;
};
