#pragma once

#include "FtpOperation.h"

#include <QTcpSocket>

// One command and its reply: CWD, MKD, RMD, DELE, or a raw command typed by the user.
// Preliminary 1xx replies are followed to the final one. A raw command that makes the server
// send data (LIST, RETR after a raw PASV) gets its data connection drained, so it cannot hang.
class FtpCommandOperation : public FtpOperation
{
    Q_OBJECT
public:
    enum class Kind { Checked, Raw }; // Checked: success is 2xx; Raw: any final reply below 400
    FtpCommandOperation(FtpContext &context, const QByteArray &command, Kind kind, QObject *parent = nullptr);
    // The command itself unannounced (the keep-alive, what the user typed); a PASV of ours still is.
    void setLogged(bool logged) { m_logged = logged; }

protected:
    void start() override;
    void onReply(const FtpReply &reply) override;
    void cleanup() override;

private:
    bool opensDataConnection() const;
    void drainRawData();
    void rememberPassive(const FtpReply &reply, const QByteArray &verb);

    QByteArray m_command;
    Kind m_kind;
    bool m_logged = true;
    QTcpSocket *m_drain = nullptr;
    bool m_preparingPassive = false; // our own PASV, sent before a raw data command that has none
};
