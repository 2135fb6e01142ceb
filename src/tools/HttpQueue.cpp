#include "HttpQueue.h"

#include "FileIconCache.h"
#include "HttpChecks.h"
#include "ListText.h"
#include "Prompter.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QStandardItemModel>
#include <cstdio>

namespace {

// What the network layer may hold for us while we do not read: beyond it, TCP holds the server.
constexpr qint64 ReadBuffer = 1024 * 1024;
constexpr int StallMs = 60 * 1000;

QString pendingText(bool running)
{
    return running ? QStringLiteral("Pending") : QStringLiteral("Paused");
}

} // namespace

struct HttpQueue::Transfer
{
    QPointer<QNetworkReply> reply;
    QPersistentModelIndex row;
    QUrl url;
    QString target;
    QFile part;
    qint64 announced = -1; // -1: the server did not say
    qint64 received = 0;
    bool begun = false;
    bool endedWhilePaused = false;
    int shownPercent = -2;
};

HttpQueue::HttpQueue(Prompter &prompter, QObject *parent)
    : QObject(parent), m_prompter(prompter), m_model(new QStandardItemModel(0, 4, this)),
      m_icons(std::make_unique<FileIconCache>())
{
    m_model->setHorizontalHeaderLabels({QStringLiteral("Remote file name"), QStringLiteral("Local file name"),
                                        QStringLiteral("File size (bytes)"), QStringLiteral("Status")});
    m_stall.setSingleShot(true);
    m_stall.setInterval(StallMs);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        if (m_transfer && m_running)
            fail(QStringLiteral("No data arrived for %1 seconds.").arg(m_stall.interval() / 1000));
    });
}

HttpQueue::~HttpQueue()
{
    stop();
}

qint64 HttpQueue::received() const
{
    return m_transfer ? m_transfer->received : 0;
}

QString HttpQueue::currentText() const
{
    if (!m_transfer || !m_transfer->begun)
        return QStringLiteral("Idle");
    if (m_transfer->announced < 0)
        return QStringLiteral("???");
    return QString::number(barValue()) + QLatin1Char('%');
}

int HttpQueue::barValue() const
{
    if (!m_transfer || !m_transfer->begun)
        return 0;
    const qint64 size = m_transfer->announced;
    if (size < 0)
        return 100;
    if (size == 0)
        return 100;
    return int(qMin<qint64>(100, m_transfer->received * 100 / size));
}

bool HttpQueue::add(const QString &url, const QString &localPath)
{
    auto warn = [this](const char *text) {
        m_prompter.message(QString::fromLatin1(text), Prompter::Icon::Warning);
        return false;
    };
    if (url.isEmpty() || localPath.isEmpty())
        return warn("The 2 fields must be filled!");
    // A folder is not a file to overwrite: the name is checked before the question.
    if (!HttpChecks::validLocalName(localPath))
        return warn("Invalid local file name.");
    if (QFileInfo::exists(localPath) &&
        m_prompter.message(QStringLiteral("Local file exists. Overwrite?"), Prompter::Icon::Warning,
                           Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return false;
    const QUrl parsed = HttpChecks::parseRemote(url);
    if (!parsed.isValid())
        return warn("Invalid remote file name.");

    auto *remote = new QStandardItem(m_icons->fileIcon(parsed.fileName()), url);
    remote->setData(parsed);
    auto *size = new QStandardItem(QStringLiteral("?"));
    m_model->appendRow({remote, new QStandardItem(localPath), size, new QStandardItem(pendingText(m_running))});
    if (m_running && !m_transfer)
        startNext();
    return true;
}

void HttpQueue::setStatus(const QPersistentModelIndex &row, const QString &text)
{
    if (!row.isValid())
        return;
    QStandardItem *item = m_model->item(row.row(), StatusColumn);
    if (item->text() != text)
        item->setText(text);
}

void HttpQueue::setAllStatuses(const QString &text)
{
    for (int r = 0; r < m_model->rowCount(); ++r)
        m_model->item(r, StatusColumn)->setText(text);
}

void HttpQueue::pause()
{
    m_running = false;
    m_stall.stop();
    setAllStatuses(QStringLiteral("Paused"));
    emit runningChanged(false);
}

void HttpQueue::resume()
{
    m_running = true;
    setAllStatuses(QStringLiteral("Pending"));
    emit runningChanged(true);
    if (!m_transfer) {
        startNext();
        return;
    }
    // Read on from where the pause stopped; what arrived meanwhile is waiting in the buffer.
    m_transfer->shownPercent = -2;
    m_stall.start();
    if (m_transfer->endedWhilePaused)
        complete();
    else
        onReadyRead();
}

void HttpQueue::startNext()
{
    if (m_transfer || !m_running || m_model->rowCount() == 0) {
        if (!m_transfer && m_model->rowCount() == 0)
            emit idle();
        return;
    }
    m_transfer = std::make_unique<Transfer>();
    Transfer &t = *m_transfer;
    t.row = QPersistentModelIndex(m_model->index(0, 0));
    t.url = m_model->item(0, RemoteColumn)->data().toUrl();
    t.target = m_model->item(0, LocalColumn)->text();
    setStatus(t.row, QStringLiteral("Connecting..."));

    QNetworkRequest request(t.url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Vestrigal"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    t.reply = m_network.get(request);
    t.reply->setReadBufferSize(ReadBuffer);
    connect(t.reply, &QNetworkReply::readyRead, this, &HttpQueue::onReadyRead);
    connect(t.reply, &QNetworkReply::finished, this, &HttpQueue::onFinished);
    m_stall.start();
    emit progressChanged();
}

// The response has begun: an error status fails the row; otherwise the size is known (or not)
// and the part file is opened.
bool HttpQueue::begin()
{
    Transfer &t = *m_transfer;
    const QVariant status = t.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Nothing is a success before its status line has come (a Resume may ask that early).
    if (!status.isValid()) {
        if (t.reply->isFinished())
            fail(QStringLiteral("The server sent no status."));
        return false;
    }
    if (status.toInt() < 200 || status.toInt() >= 300) {
        if (t.reply->isRunning()) {
            t.reply->readAll(); // the error page is not kept; the row fails once the reply is over
            return false;
        }
        const QString reason = t.reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(QStringLiteral("The server answered %1 %2.").arg(status.toInt()).arg(reason).trimmed());
        return false;
    }
    const QVariant length = t.reply->header(QNetworkRequest::ContentLengthHeader);
    t.announced = length.isValid() ? length.toLongLong() : -1;
    m_model->item(t.row.row(), SizeColumn)
        ->setText(t.announced >= 0 ? ListText::sizeText(t.announced) : QStringLiteral("Unknown"));
    if (!openPart()) {
        fail(QStringLiteral("Could not write %1: %2").arg(t.part.fileName(), t.part.errorString()));
        return false;
    }
    t.begun = true;
    setStatus(t.row, QStringLiteral("Downloading..."));
    return true;
}

// The part file is made new: a file of that name is the user's, never emptied nor deleted, and
// the next name is tried.
bool HttpQueue::openPart()
{
    Transfer &t = *m_transfer;
    for (int n = 0; n < 1000; ++n) {
        t.part.setFileName(n == 0 ? t.target + QStringLiteral(".part")
                                  : t.target + QLatin1Char('.') + QString::number(n) + QStringLiteral(".part"));
        if (t.part.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        const QFileInfo taken(t.part.fileName());
        if (!taken.exists() && !taken.isSymLink())
            return false;
    }
    return false;
}

// Writes what has arrived; false when the transfer failed on the way.
bool HttpQueue::drain()
{
    Transfer &t = *m_transfer;
    if (!t.begun && !begin())
        return false;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = t.reply->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (t.part.write(buffer, n) != n) {
            fail(QStringLiteral("Could not write %1: %2").arg(t.part.fileName(), t.part.errorString()));
            return false;
        }
        t.received += n;
    }
    return true;
}

void HttpQueue::onReadyRead()
{
    if (!m_transfer || !m_running)
        return; // paused: the data waits, and the network stops reading when the buffer is full
    m_stall.start();
    if (drain())
        updateProgress();
}

void HttpQueue::updateProgress()
{
    Transfer &t = *m_transfer;
    const int percent = t.announced < 0 ? -1 : barValue();
    if (percent == t.shownPercent)
        return;
    t.shownPercent = percent;
    setStatus(t.row, percent < 0 ? QStringLiteral("Downloading...")
                                 : QString::number(percent) + QStringLiteral("% Downloading..."));
    emit progressChanged();
}

void HttpQueue::onFinished()
{
    if (!m_transfer)
        return;
    if (!m_running) {
        m_transfer->endedWhilePaused = true; // the rest is read on Resume
        return;
    }
    complete();
}

void HttpQueue::complete()
{
    Transfer &t = *m_transfer;
    QNetworkReply *reply = t.reply;
    if (reply->error() == QNetworkReply::NoError && !drain())
        return;
    if (reply->error() == QNetworkReply::HostNotFoundError) {
        const QString host = t.url.host();
        endTransfer(QStringLiteral("failed"));
        m_prompter.message(QStringLiteral("Error, the host %1 could not be resolved.").arg(host),
                           Prompter::Icon::Critical);
        startNext();
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && !t.begun && (status.toInt() < 200 || status.toInt() >= 300))
            begin(); // an error status: say so rather than the network layer's summary
        else
            fail(reply->errorString());
        return;
    }
    if (t.announced >= 0 && t.received != t.announced) {
        fail(QStringLiteral("The connection ended after %1 of %2 bytes.").arg(t.received).arg(t.announced));
        return;
    }
    t.part.close();
    if (t.part.error() != QFileDevice::NoError) {
        fail(QStringLiteral("Could not write %1: %2").arg(t.part.fileName(), t.part.errorString()));
        return;
    }
    // rename(2) replaces the old file in one step: there is always a whole file under the name.
    if (std::rename(QFile::encodeName(t.part.fileName()).constData(), QFile::encodeName(t.target).constData()) != 0) {
        fail(QStringLiteral("Could not rename %1 to %2.").arg(t.part.fileName(), t.target));
        return;
    }
    endTransfer(QStringLiteral("done"));
    startNext();
}

void HttpQueue::fail(const QString &message)
{
    Transfer &t = *m_transfer;
    const QString url = t.url.toDisplayString();
    if (t.part.isOpen())
        t.part.close();
    if (t.begun)
        QFile::remove(t.part.fileName());
    endTransfer(QStringLiteral("failed"));
    m_prompter.message(QStringLiteral("There was an error downloading the file.\n%1\n%2").arg(url, message),
                       Prompter::Icon::Critical);
    startNext();
}

// Ends the running transfer where it stands: what has arrived becomes the file only where there
// was none, and otherwise stays beside it as "name.part".
void HttpQueue::stopTransfer()
{
    if (!m_transfer)
        return;
    Transfer &t = *m_transfer;
    if (t.part.isOpen()) {
        t.part.close();
        if (!QFileInfo::exists(t.target))
            QFile::rename(t.part.fileName(), t.target);
    }
    endTransfer(QStringLiteral("stopped"));
}

void HttpQueue::endTransfer(const QString &outcome)
{
    std::unique_ptr<Transfer> t = std::move(m_transfer);
    m_stall.stop();
    if (t->reply) {
        t->reply->disconnect(this);
        // A reply that already reported an error is over; deleting it closes its connection.
        if (t->reply->error() == QNetworkReply::NoError)
            t->reply->abort();
        t->reply->deleteLater();
    }
    if (t->row.isValid())
        m_model->removeRow(t->row.row());
    emit progressChanged();
    emit finished(t->target, outcome);
}

void HttpQueue::cancel(QList<int> rows)
{
    QList<QPersistentModelIndex> chosen;
    bool current = false;
    for (int r : rows) {
        if (r < 0 || r >= m_model->rowCount())
            continue;
        const QPersistentModelIndex index(m_model->index(r, 0));
        if (m_transfer && index == m_transfer->row)
            current = true;
        else
            chosen.append(index);
    }
    if (current)
        stopTransfer();
    for (const QPersistentModelIndex &index : chosen)
        if (index.isValid())
            m_model->removeRow(index.row());
    if (!m_transfer && m_running && m_model->rowCount() > 0)
        startNext();
}

void HttpQueue::clearAll()
{
    if (m_prompter.message(QStringLiteral("Are you sure you want to clear all?"), Prompter::Icon::Warning,
                           Prompter::Buttons::OkCancel) != Prompter::Answer::Ok)
        return;
    m_model->removeRows(0, m_model->rowCount()); // first, so no next transfer starts
    stopTransfer();
    emit idle();
}

void HttpQueue::stop()
{
    stopTransfer();
}
