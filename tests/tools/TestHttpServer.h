#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The test HTTP server (tests/tools/httpserver.py) on 127.0.0.1 and a free port; started by the
// constructor, stopped by the destructor.
class TestHttpServer
{
public:
    explicit TestHttpServer(const QStringList &extraArgs = {});
    ~TestHttpServer();

    bool isRunning() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString url(const QString &path, const QString &scheme = QStringLiteral("http")) const;
    // "started=N completed=M" and the paths asked for.
    QString stats() const;

    // The first n bytes every body is made of.
    static QByteArray pattern(qint64 n);

private:
    QProcess m_process;
    quint16 m_port = 0;
};
