#pragma once

#include "FtpTypes.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

// A tiny FTP server inside a test that plays exact byte sequences, split and delayed as the
// test says, and records the commands it receives. One control client, one data listener.
class ScriptedFtpPeer : public QObject
{
    Q_OBJECT
public:
    struct Step
    {
        enum Kind { Control, Data, CloseData, CloseControl, Wait } kind;
        QByteArray bytes;
        int ms = 0;
    };
    static Step reply(const QByteArray &bytes) { return {Step::Control, bytes}; }
    static Step data(const QByteArray &bytes) { return {Step::Data, bytes}; }
    static Step closeData() { return {Step::CloseData, {}}; }
    static Step closeControl() { return {Step::CloseControl, {}}; }
    static Step wait(int ms) { return {Step::Wait, {}, ms}; }
    // A server's answer to RETR or LIST: the preliminary reply, the data, its end, then the final reply.
    static QList<Step> sending(const QByteArray &data, const QByteArray &preliminary = "150 Here.\r\n",
                               const QByteArray &final = "226 Transfer complete.\r\n");

    ScriptedFtpPeer();
    quint16 port() const { return m_control.serverPort(); }
    quint16 dataPort() const { return m_data.serverPort(); }
    // Options that log in here as "user".
    FtpOptions options(int timeoutMs = 5000, const QString &password = QStringLiteral("pass-word")) const;

    void setGreeting(const QList<Step> &steps) { m_greeting = steps; }
    // The steps played when a command starting with verb (upper case) arrives; none = silence.
    void on(const QByteArray &verb, const QList<Step> &steps) { m_script.insert(verb, steps); }
    // The steps are chosen when the command arrives, from its whole line; this wins over on().
    using Handler = std::function<QList<Step>(const QByteArray &line)>;
    void onLine(const QByteArray &verb, Handler handler) { m_handlers.insert(verb, std::move(handler)); }
    // What the client sent over data connections since the last STOR (an upload's bytes).
    QByteArray received() const { return m_received; }
    QList<QByteArray> commands() const { return m_commands; }
    qsizetype count(const QByteArray &verb) const; // commands that start with verb
    bool dataConnected() const { return m_dataClient != nullptr; }

private:
    void onControlConnection();
    void onCommandBytes();
    void play(const QList<Step> &steps);
    void next();

    QTcpServer m_control;
    QTcpServer m_data;
    QPointer<QTcpSocket> m_client;
    QPointer<QTcpSocket> m_dataClient;
    QByteArray m_partial;
    QList<Step> m_greeting;
    QHash<QByteArray, QList<Step>> m_script;
    QHash<QByteArray, Handler> m_handlers;
    QByteArray m_received;
    QList<Step> m_playing;
    QList<QByteArray> m_commands;
};
