#pragma once

// A main window on the offscreen platform with its own program folder and scripted prompts,
// optionally connected to a test FTP server; QueueWindow adds a local folder of its own, listed.
#include "AppState.h"
#include "FtpSession.h"
#include "LocalPane.h"
#include "LocalTree.h"
#include "LogRun.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "RemotePane.h"
#include "ScriptedPrompter.h"
#include "SessionLog.h"
#include "TestFtpServer.h"
#include "TransferEngine.h"
#include "formmain.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

inline const QString NeedsConnection = QStringLiteral("You must be connected to a remote server for this operation.");

inline QStringList namesOf(FileListView *list)
{
    QStringList names;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        names << list->model()->item(r, 0)->text();
    return names;
}
inline int rowOf(FileListView *list, const QString &name)
{
    return namesOf(list).indexOf(name);
}

// Selects the rows of a list by their names, nothing else; the last of them is the current row.
inline void selectRows(FileListView *list, const QStringList &names)
{
    QItemSelectionModel *selection = list->selectionModel();
    selection->clear();
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (names.contains(list->model()->item(r, 0)->text()))
            selection->setCurrentIndex(list->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// A node of the local tree standing for a folder, as a drop target.
inline std::unique_ptr<QStandardItem> localNode(const QString &folder)
{
    auto node = std::make_unique<QStandardItem>(QFileInfo(folder).fileName());
    node->setData(folder.endsWith('/') ? folder : folder + '/', LocalTree::PathRole);
    return node;
}

struct MainWindowFixture
{
    QTemporaryDir home;
    AppState state;
    ScriptedPrompter *prompter = new ScriptedPrompter;
    std::unique_ptr<formmain> window;

    // Log files named in existingLogs stand in the logs folder before the window starts; the
    // program's folder is appFolder when given (a program run again on the same folder).
    explicit MainWindowFixture(const QStringList &existingLogs = {}, const QString &appFolder = {})
        : state(AppFolders::under(appFolder.isEmpty() ? home.path() + "/app" : appFolder))
    {
        state.folders.createMissing();
        for (const QString &name : existingLogs)
            QFile(state.folders.logs + name).open(QIODevice::WriteOnly);
        window = std::make_unique<formmain>(state, std::unique_ptr<Prompter>(prompter));
    }

    void fillConnection(const TestFtpServer &server, const QString &timeout = "0", const QString &keep = "0")
    {
        window->txtServer->setText(server.host());
        window->txtPort->setText(QString::number(server.port()));
        window->txtUsername->setText(server.user());
        window->txtPassword->setText(server.password());
        window->txtTimeout->setText(timeout);
        window->txtKeep->setText(keep);
    }
    // serverField replaces the host, for a scheme or a port written in it.
    bool connect(const TestFtpServer &server, const QString &serverField = {})
    {
        fillConnection(server);
        if (!serverField.isEmpty())
            window->txtServer->setText(serverField);
        window->remotePane().btnConnect_Click();
        return state.connected();
    }

    bool connectAt(const TestFtpServer &server, const QString &folder)
    {
        if (connect(server))
            showRemote(folder);
        return state.connected();
    }

    QString logText() const { return window->sessionLog().plainText(u"\n"); }
    // Without the connection numbers: "[2] Transfer complete." reads "Transfer complete.".
    QStringList logLines() const
    {
        return logText().split('\n', Qt::SkipEmptyParts).replaceInStrings(QRegularExpression("^\\[\\d+\\] "), "");
    }
    QStringList commands(const QString &verb) const
    {
        return logLines().filter(QRegularExpression("^Command: " + verb + " "));
    }
    bool loggedInRed(const QString &text) const
    {
        for (const LogRun &run : window->sessionLog().runs())
            if (run.text.contains(text, Qt::CaseInsensitive) && run.colour == LogColours::red())
                return true;
        return false;
    }
    QString status() const { return window->statusPanel("")->text(); }

    QStandardItemModel *remoteRows() const { return window->ListView1->model(); }
    QStringList remoteNames() const { return namesOf(window->ListView1); }
    QStringList localNames() const { return namesOf(window->ListView3); }
    int remoteRow(const QString &name) const { return remoteNames().indexOf(name); }
    QString remoteCell(const QString &name, const QString &columnKey) const
    {
        return remoteRows()->item(remoteRow(name), window->ListView1->column(columnKey))->text();
    }
    void selectRemote(const QString &name) const
    {
        const QModelIndex index = remoteRows()->index(remoteRow(name), 0);
        window->ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                        QItemSelectionModel::Rows);
    }
    void showRemote(const QString &folder)
    {
        state.currentRemoteFolder = folder;
        window->remotePane().FtpGetDirectoryContents();
    }
    void typeRemote(const QString &folder)
    {
        window->txtDirectory->setText(folder);
        window->remotePane().txtDirectory_KeyPress();
    }
    void showLocal(const QString &folder)
    {
        state.currentLocalFolder = folder.endsWith('/') ? folder : folder + '/';
        window->localPane().ClientGetDirectoryContents();
    }
    int queueRows() const { return window->queuePane().queue().count(); }
};

// The tree node whose key is the given path, searched breadth first from the root.
inline QStandardItem *nodeWithKey(QStandardItemModel *tree, const QString &key)
{
    QList<QStandardItem *> pending{tree->item(0)};
    while (!pending.isEmpty()) {
        QStandardItem *node = pending.takeFirst();
        if (!node)
            continue;
        if (node->data(FileListView::KeyRole).toString() == key)
            return node;
        for (int r = 0; r < node->rowCount(); ++r)
            pending << node->child(r);
    }
    return nullptr;
}

struct QueueWindow : MainWindowFixture
{
    QTemporaryDir local;

    QueueWindow()
    {
        showLocal(local.path());
        state.settings.fileExists = 1; // files are overwritten without a question, unless a test asks for one
    }
    // Connected to the server and listing the remote folder; not connected if the login failed.
    static std::unique_ptr<QueueWindow> connectedTo(const TestFtpServer &server, const QString &folder)
    {
        auto f = std::make_unique<QueueWindow>();
        f->connectAt(server, folder);
        return f;
    }

    TransferEngine &engine() { return window->queuePane().engine(); }
    static void select(FileListView *list, const QStringList &names) { selectRows(list, names); }
    QString totals() const { return window->statusPanel("queue")->text(); }
    // Waits until no file moves (the queue is empty, paused or cannot go on); false after ms.
    bool queueEnds(int ms = 30000)
    {
        for (QDeadlineTimer deadline(ms); engine().isActive();)
            if (deadline.hasExpired())
                return false;
            else
                QTest::qWait(5);
        return true;
    }
    QString localPath(const QString &relative) const { return local.path() + '/' + relative; }

    void typeLocal(const QString &folder)
    {
        window->txtLocal->setText(folder);
        window->localPane().txtLocal_KeyPress();
    }
    QStringList queueColumn(const QString &key) const
    {
        QStringList texts;
        const QAbstractItemModel *rows = window->ListView2->shownModel();
        for (int r = 0; r < rows->rowCount(); ++r)
            texts << rows->index(r, window->ListView2->column(key)).data().toString();
        return texts;
    }
};

// Whether an opaque pixel of the picture passes the test.
inline bool anyPixel(const QPixmap &pixmap, const std::function<bool(const QColor &)> &test)
{
    const QImage image = pixmap.toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 128 && test(image.pixelColor(x, y)))
                return true;
    return false;
}

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

// The files under a folder, hidden ones too, by their paths below it, sorted.
inline QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

inline QByteArray readLocal(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// What a test server started with --commands FILE was sent, in order, its PASS hidden.
inline QStringList commandsIn(const QString &file)
{
    return QString::fromUtf8(readLocal(file)).split('\n', Qt::SkipEmptyParts);
}
