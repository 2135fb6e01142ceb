#include "formhttp.h"

#include "HttpQueue.h"
#include "Prompter.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

formhttp::formhttp(Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompter(prompter), m_queue(new HttpQueue(prompter, this))
{
    setObjectName(QStringLiteral("formhttp"));
    setWindowTitle(QStringLiteral("Vestrigal - HTTP download manager"));
    resize(760, 480);
    auto *layout = new QVBoxLayout(this);

    lblInfo = new QLabel(
        QStringLiteral("Welcome to the HTTP download manager! This tool acts as a download manager integrated in "
                       "every browser. You add files to the queue and just let it run, the files are automatically "
                       "downloaded and saved to your hard disk. Closing this window will cancel all transfers!"),
        this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    layout->addWidget(lblInfo);

    auto *group = new QGroupBox(QStringLiteral("Add file"), this);
    auto *fields = new QGridLayout(group);
    auto button = [this](const char *name, const char *caption, QWidget *owner) {
        auto *b = new QPushButton(QString::fromLatin1(caption), owner);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    txtRemote = new QLineEdit(group);
    txtRemote->setObjectName(QStringLiteral("txtRemote"));
    txtLocal = new QLineEdit(group);
    txtLocal->setObjectName(QStringLiteral("txtLocal"));
    btnBrowse = button("btnBrowse", "Browse", group);
    btnAdd = button("btnAdd", "Add file", group);
    fields->addWidget(new QLabel(QStringLiteral("Remote URL:"), group), 0, 0);
    fields->addWidget(txtRemote, 0, 1, 1, 2);
    fields->addWidget(new QLabel(QStringLiteral("Local file name:"), group), 1, 0);
    fields->addWidget(txtLocal, 1, 1);
    fields->addWidget(btnBrowse, 1, 2);
    fields->addWidget(btnAdd, 2, 2);
    layout->addWidget(group);

    lvwFiles = new QTreeView(this);
    lvwFiles->setObjectName(QStringLiteral("lvwFiles"));
    lvwFiles->setModel(m_queue->model());
    lvwFiles->setRootIsDecorated(false);
    lvwFiles->setUniformRowHeights(true);
    lvwFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    lvwFiles->viewport()->installEventFilter(this);
    layout->addWidget(lvwFiles, 1);

    auto *buttons = new QHBoxLayout;
    btnCancel = button("btnCancel", "Cancel selected", this);
    btnPause = button("btnPause", "Pause", this);
    btnResume = button("btnResume", "Resume", this);
    btnClear = button("btnClear", "Clear all", this);
    for (QPushButton *b : {btnCancel, btnPause, btnResume, btnClear})
        buttons->addWidget(b);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    auto *progress = new QHBoxLayout;
    lblCurrent = new QLabel(QStringLiteral("Idle"), this);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));
    lblCurrent->setMinimumWidth(50);
    barCurrent = new QProgressBar(this);
    barCurrent->setObjectName(QStringLiteral("barCurrent"));
    barCurrent->setRange(0, 100);
    barCurrent->setValue(0);
    barCurrent->setTextVisible(false);
    lblTotal = new QLabel(QStringLiteral("Idle"), this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    progress->addWidget(new QLabel(QStringLiteral("Current:"), this));
    progress->addWidget(lblCurrent);
    progress->addWidget(barCurrent, 1);
    progress->addWidget(lblTotal);
    layout->addLayout(progress);

    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("menu"));
    auto item = [this](const char *name, const char *caption) {
        QAction *a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    menu_cancel = item("menu_cancel", "Cancel");
    menu_clear = item("menu_clear", "Clear");
    menu->addSeparator()->setObjectName(QStringLiteral("sep1"));
    menu_pause = item("menu_pause", "Pause");
    menu_resume = item("menu_resume", "Resume");
    connect(lvwFiles, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { menu->popup(lvwFiles->viewport()->mapToGlobal(pos)); });

    connect(btnBrowse, &QPushButton::clicked, this, &formhttp::btnBrowse_Click);
    connect(btnAdd, &QPushButton::clicked, this, &formhttp::btnAdd_Click);
    connect(btnCancel, &QPushButton::clicked, this, &formhttp::btnCancel_Click);
    connect(menu_cancel, &QAction::triggered, this, &formhttp::btnCancel_Click);
    connect(btnPause, &QPushButton::clicked, m_queue, &HttpQueue::pause);
    connect(menu_pause, &QAction::triggered, m_queue, &HttpQueue::pause);
    connect(btnResume, &QPushButton::clicked, m_queue, &HttpQueue::resume);
    connect(menu_resume, &QAction::triggered, m_queue, &HttpQueue::resume);
    connect(btnClear, &QPushButton::clicked, m_queue, &HttpQueue::clearAll);
    connect(menu_clear, &QAction::triggered, m_queue, &HttpQueue::clearAll);
    connect(m_queue, &HttpQueue::runningChanged, this, &formhttp::showRunning);
    connect(m_queue, &HttpQueue::progressChanged, this, &formhttp::showProgress);

    resetFields();
    showRunning(true);
}

formhttp::~formhttp()
{
    m_queue->stop();
}

QString formhttp::downloadFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

void formhttp::resetFields()
{
    txtLocal->setText(downloadFolder());
    txtRemote->setText(QStringLiteral("http://"));
}

void formhttp::btnBrowse_Click()
{
    const QString path = m_prompter.saveFileName(QStringLiteral("All files (*)"), downloadFolder());
    if (!path.isEmpty())
        txtLocal->setText(path);
}

void formhttp::btnAdd_Click()
{
    if (m_queue->add(txtRemote->text(), txtLocal->text()))
        resetFields();
}

void formhttp::btnCancel_Click()
{
    QList<int> rows;
    for (const QModelIndex &index : lvwFiles->selectionModel()->selectedRows())
        rows.append(index.row());
    m_queue->cancel(rows);
}

void formhttp::showRunning(bool running)
{
    btnPause->setEnabled(running);
    menu_pause->setEnabled(running);
    btnResume->setEnabled(!running);
    menu_resume->setEnabled(!running);
}

void formhttp::showProgress()
{
    lblCurrent->setText(m_queue->currentText());
    barCurrent->setValue(m_queue->barValue());
}

void formhttp::closeEvent(QCloseEvent *event)
{
    m_queue->stop();
    QWidget::closeEvent(event);
}

bool formhttp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvwFiles->viewport() && event->type() == QEvent::Resize)
        sizeColumns();
    return QWidget::eventFilter(watched, event);
}

// 11/32, 11/32, 5/32 and 5/32 of the list's width.
void formhttp::sizeColumns()
{
    const int w = lvwFiles->viewport()->width();
    const int shares[] = {11, 11, 5, 5};
    for (int c = 0; c < 4; ++c)
        lvwFiles->setColumnWidth(c, w * shares[c] / 32);
}
