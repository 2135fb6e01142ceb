#include "TestHttpServer.h"

#include "TestSupport.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

TestHttpServer::TestHttpServer(const QStringList &extraArgs)
{
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{TestSupport::sourceDir() + QStringLiteral("/tests/tools/httpserver.py")} +
                           extraArgs);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return;
    while (m_process.waitForReadyRead(10000)) {
        const QByteArray line = m_process.readLine().trimmed();
        if (line.startsWith("PORT ")) {
            m_port = quint16(line.mid(5).toUInt());
            break;
        }
    }
}

TestHttpServer::~TestHttpServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString TestHttpServer::url(const QString &path, const QString &scheme) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_port).arg(path);
}

QString TestHttpServer::stats() const
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url(QStringLiteral("/stats")))));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QString text = QString::fromUtf8(reply->readAll());
    reply->deleteLater();
    return text;
}

QByteArray TestHttpServer::pattern(qint64 n)
{
    QByteArray data(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        data[i] = char(i % 251);
    return data;
}
