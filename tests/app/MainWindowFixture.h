#pragma once

// A main window on the offscreen platform with its own program folder and scripted prompts,
// optionally connected to a test FTP server.
#include "AppState.h"
#include "FtpSession.h"
#include "RemotePane.h"
#include "ScriptedPrompter.h"
#include "SessionLog.h"
#include "TestFtpServer.h"
#include "formmain.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

struct MainWindowFixture
{
    QTemporaryDir home;
    AppState state{AppFolders::under(home.path() + "/app")};
    ScriptedPrompter *prompter = new ScriptedPrompter;
    std::unique_ptr<formmain> window;

    MainWindowFixture()
    {
        state.folders.createMissing();
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

    bool connect(const TestFtpServer &server)
    {
        fillConnection(server);
        window->remotePane().btnConnect_Click();
        return state.connected();
    }

    QString logText() const { return window->sessionLog().plainText(u"\n"); }
    QStringList logLines() const { return logText().split('\n', Qt::SkipEmptyParts); }

    QStandardItemModel *remoteRows() const { return window->ListView1->model(); }
    QStringList remoteNames() const
    {
        QStringList names;
        for (int r = 0; r < remoteRows()->rowCount(); ++r)
            names << remoteRows()->item(r, 0)->text();
        return names;
    }
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
