#pragma once

// The main window connected to a test server, with a local folder of its own listed, and the
// helpers the queue tests share.
#include "LocalPane.h"
#include "MainWindowFixture.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "TransferEngine.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>

struct QueueWindow : MainWindowFixture
{
    QTemporaryDir local;

    QueueWindow() { showLocal(local.path()); }

    QueuePane &queuePane() { return window->queuePane(); }
    TransferEngine &engine() { return window->queuePane().engine(); }
    QString totals() const { return window->statusPanel("queue")->text(); }
    QString localPath(const QString &relative) const { return local.path() + '/' + relative; }

    void showLocal(const QString &folder)
    {
        state.currentLocalFolder = folder.endsWith('/') ? folder : folder + '/';
        window->localPane().ClientGetDirectoryContents();
    }
    void showRemote(const QString &folder)
    {
        state.currentRemoteFolder = folder;
        window->remotePane().FtpGetDirectoryContents();
    }
    // Selects the rows of a list by their names, nothing else.
    static void select(FileListView *list, const QStringList &names)
    {
        QItemSelectionModel *selection = list->selectionModel();
        selection->clearSelection();
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (names.contains(list->model()->item(r, 0)->text()))
                selection->select(list->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QStringList queueColumn(const QString &key) const
    {
        QStringList texts;
        const int column = window->ListView2->column(key);
        for (int r = 0; r < window->ListView2->model()->rowCount(); ++r)
            texts << window->ListView2->model()->item(r, column)->text();
        return texts;
    }
    QStringList commands(const QString &verb) const
    {
        return logLines().filter(QRegularExpression("^Command: " + verb + " "));
    }
};

inline QByteArray pattern(qsizetype size, int seed = 1)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u;
    for (qsizetype i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 24);
    }
    return data;
}

inline bool writeLocal(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

inline QByteArray readLocal(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
