#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

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

    ScriptedFtpPeer();
    quint16 port() const { return m_control.serverPort(); }
    quint16 dataPort() const { return m_data.serverPort(); }

    void setGreeting(const QList<Step> &steps) { m_greeting = steps; }
    // The steps played when a command starting with verb (upper case) arrives; none = silence.
    void on(const QByteArray &verb, const QList<Step> &steps) { m_script.insert(verb, steps); }
    QList<QByteArray> commands() const { return m_commands; }
    bool dataConnected() const { return m_dataClient != nullptr; }
    // Every byte the client sent on data connections (uploads), in order.
    QByteArray received() const { return m_received; }

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
    QList<Step> m_playing;
    QList<QByteArray> m_commands;
    QByteArray m_received;
};
