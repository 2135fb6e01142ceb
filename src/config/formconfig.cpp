#include "formconfig.h"

#include "ConfigHost.h"
#include "Prompter.h"
#include "variousFunctions.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStorageInfo>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QRadioButton *option(const char *name, const char *caption, QWidget *parent, QButtonGroup *group)
{
    auto *button = new QRadioButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    group->addButton(button);
    return button;
}

QLabel *note(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

formconfig::formconfig(ConfigHost &host, QWidget *parent) : QDialog(parent), m_host(host)
{
    setObjectName(QStringLiteral("formconfig"));
    setWindowTitle(QStringLiteral("Vestrigal - Configuration"));
    tab1 = new QTabWidget(this);
    tab1->setObjectName(QStringLiteral("tab1"));
    tab1->addTab(createTransfers(), QStringLiteral("Transfers"));
    tab1->addTab(createTypes(), QStringLiteral("File types"));
    tab1->addTab(createLogs(), QStringLiteral("Logs"));
    const char *keys[] = {"transfers", "types", "logs"};
    for (int i = 0; i < 3; ++i)
        tab1->tabBar()->setTabData(i, QString::fromLatin1(keys[i]));

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &formconfig::btnOK_Click);
    connect(btnCancel, &QPushButton::clicked, this, &formconfig::btnCancel_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto *column = new QVBoxLayout(this);
    column->addWidget(tab1);
    column->addLayout(buttons);
    resize(560, 460);
    load();
}

QWidget *formconfig::createTransfers()
{
    frmTransfers = new QGroupBox(QStringLiteral("Transfer options"));
    frmTransfers->setObjectName(QStringLiteral("frmTransfers"));
    auto group = [this](const QString &title, QRadioButton *&ascii, QRadioButton *&binary, QRadioButton *&automatic,
                        const char *prefix, QLineEdit *&size, const char *sizeName) {
        auto *box = new QGroupBox(title, frmTransfers);
        auto *options = new QButtonGroup(box);
        ascii = option(QByteArray(prefix).append("Ascii").constData(), "ASCII", box, options);
        binary = option(QByteArray(prefix).append("Binary").constData(), "Binary", box, options);
        automatic = option(QByteArray(prefix).append("Auto").constData(), "Auto", box, options);
        size = new QLineEdit(box);
        size->setObjectName(QString::fromLatin1(sizeName));
        auto *row = new QHBoxLayout;
        row->addWidget(ascii);
        row->addWidget(binary);
        row->addWidget(automatic);
        row->addStretch();
        auto *form = new QFormLayout(box);
        form->addRow(QStringLiteral("Transfer type:"), row);
        form->addRow(QStringLiteral("Buffer size:"), size);
        return box;
    };
    auto *layout = new QVBoxLayout(frmTransfers);
    layout->addWidget(group(QStringLiteral("Downloads"), optDAscii, optDBinary, optDAuto, "optD", txtDown, "txtDown"));
    layout->addWidget(group(QStringLiteral("Uploads"), optUAscii, optUBinary, optUAuto, "optU", txtUp, "txtUp"));
    txtSimultaneous = new QLineEdit(frmTransfers);
    txtSimultaneous->setObjectName(QStringLiteral("txtSimultaneous"));
    auto *queueRow = new QFormLayout;
    queueRow->addRow(QStringLiteral("Simultaneous transfers:"), txtSimultaneous);
    txtRetries = new QLineEdit(frmTransfers);
    txtRetries->setObjectName(QStringLiteral("txtRetries"));
    queueRow->addRow(QStringLiteral("Retries:"), txtRetries);
    cboExists = new QComboBox(frmTransfers);
    cboExists->setObjectName(QStringLiteral("cboExists"));
    cboExists->addItems(Settings::fileExistsTexts());
    queueRow->addRow(QStringLiteral("If the file exists:"), cboExists);
    layout->addLayout(queueRow);
    layout->addWidget(note(QStringLiteral("Auto sends the files whose extension is on the ASCII list as text and "
                                          "every other file as binary. The buffer size (from %1 to %2 bytes) is the "
                                          "block in which a file is read and written. Up to %3 files of the queue "
                                          "move at once, each on a connection of its own; 1 moves them one after "
                                          "the other. A transfer cut by the network or refused for the moment is tried again, "
                                          "up to the number of retries, after 5, 10 and 20 seconds.")
                               .arg(ConfigChecks::MinBufferSize)
                               .arg(ConfigChecks::MaxBufferSize)
                               .arg(ConfigChecks::MaxSimultaneousTransfers),
                           frmTransfers));
    layout->addStretch();
    return frmTransfers;
}

QWidget *formconfig::createTypes()
{
    frmTypes = new QGroupBox(QStringLiteral("File types options"));
    frmTypes->setObjectName(QStringLiteral("frmTypes"));
    auto *ascii = new QGroupBox(QStringLiteral("ASCII"), frmTypes);
    lvwExtensions = new QTreeWidget(ascii);
    lvwExtensions->setObjectName(QStringLiteral("lvwExtensions"));
    lvwExtensions->setHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Description")});
    lvwExtensions->setRootIsDecorated(false);
    lvwExtensions->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwExtensions->installEventFilter(this);
    txtAdd = new QLineEdit(frmTypes);
    txtAdd->setObjectName(QStringLiteral("txtAdd"));
    btnAdd = new QPushButton(QStringLiteral("<-- Add to ASCII list"), frmTypes);
    btnAdd->setObjectName(QStringLiteral("btnAdd"));
    btnRemove = new QPushButton(QStringLiteral("Remove from ASCII -->"), frmTypes);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    connect(btnAdd, &QPushButton::clicked, this, &formconfig::btnAdd_Click);
    connect(btnRemove, &QPushButton::clicked, this, &formconfig::btnRemove_Click);
    connect(txtAdd, &QLineEdit::returnPressed, this, &formconfig::btnAdd_Click);
    auto *side = new QVBoxLayout;
    side->addWidget(txtAdd);
    side->addWidget(btnAdd);
    side->addWidget(btnRemove);
    side->addStretch();
    auto *row = new QHBoxLayout(ascii);
    row->addWidget(lvwExtensions, 1);
    row->addLayout(side);
    auto *layout = new QVBoxLayout(frmTypes);
    layout->addWidget(ascii, 1);
    layout->addWidget(note(QStringLiteral("Files with these extensions are transferred as text (ASCII) when the "
                                          "transfer type is Auto; line ends are converted on the way."),
                           frmTypes));
    return frmTypes;
}

QWidget *formconfig::createLogs()
{
    frmLogs = new QGroupBox(QStringLiteral("Logs options"));
    frmLogs->setObjectName(QStringLiteral("frmLogs"));
    auto *keep = new QButtonGroup(frmLogs);
    optLog = option("optLog", "Keep a log of the stat window in a folder", frmLogs, keep);
    optNolog = option("optNolog", "Do not keep my logs", frmLogs, keep);
    txtLog = new QLineEdit(frmLogs);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    connect(txtLog, &QLineEdit::textEdited, this, &formconfig::txtLog_KeyUp);

    auto *path = new QGroupBox(QStringLiteral("Path"), frmLogs);
    Drive1 = new QComboBox(path);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath()))
            roots.append(volume.rootPath());
    Drive1->addItems(roots);
    Dir1 = new QTreeView(path);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    m_folders = new QFileSystemModel(Dir1);
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    m_folders->setRootPath(QStringLiteral("/"));
    Dir1->setModel(m_folders);
    Dir1->setHeaderHidden(true);
    for (int c = 1; c < m_folders->columnCount(); ++c)
        Dir1->hideColumn(c);
    connect(Drive1, &QComboBox::currentIndexChanged, this, &formconfig::Drive1_Change);
    connect(Dir1, &QTreeView::clicked, this, &formconfig::Dir1_Click);
    auto *pathLayout = new QVBoxLayout(path);
    pathLayout->addWidget(Drive1);
    pathLayout->addWidget(Dir1);

    auto *format = new QGroupBox(QStringLiteral("Format"), frmLogs);
    auto *formats = new QButtonGroup(format);
    optTxt = option("optTxt", "Text - Plain ASCII text format", format, formats);
    optRtf = option("optRtf", "RTF - Readable by most text editors (Word)", format, formats);
    auto *formatLayout = new QVBoxLayout(format);
    formatLayout->addWidget(new QLabel(QStringLiteral("Save my logs in the following format:"), format));
    formatLayout->addWidget(optTxt);
    formatLayout->addWidget(optRtf);

    connect(optLog, &QRadioButton::toggled, this, &formconfig::setLogControlsEnabled);
    auto *layout = new QVBoxLayout(frmLogs);
    layout->addWidget(optLog);
    layout->addWidget(optNolog);
    auto *pathRow = new QFormLayout;
    pathRow->addRow(QStringLiteral("Log path:"), txtLog);
    layout->addLayout(pathRow);
    layout->addWidget(path, 1);
    layout->addWidget(format);
    layout->addWidget(note(QStringLiteral("A new log file is started in this folder by Logs > Start new log; the "
                                          "log file in use keeps its name."),
                           frmLogs));
    return frmLogs;
}

void formconfig::setLogControlsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{txtLog, optTxt, optRtf, Dir1, Drive1})
        w->setEnabled(enabled);
}

void formconfig::addExtensionRow(const QString &extension)
{
    auto *row = new QTreeWidgetItem(lvwExtensions, QStringList{extension, variousFunctions::GetFileTypeDescription(
                                                                              QStringLiteral("a.") + extension)});
    row->setData(0, Qt::UserRole, extension); // the row's key
}

void formconfig::load()
{
    const ConfigForm f = ConfigForm::fromSettings(m_host.settings());
    for (const QString &extension : f.extensions)
        addExtensionRow(extension);
    QRadioButton *down[] = {optDAuto, optDAscii, optDBinary};
    QRadioButton *up[] = {optUAuto, optUAscii, optUBinary};
    down[f.downloadType <= 2 ? f.downloadType : 0]->setChecked(true);
    up[f.uploadType <= 2 ? f.uploadType : 0]->setChecked(true);
    txtDown->setText(f.down);
    txtUp->setText(f.up);
    txtSimultaneous->setText(f.simultaneous);
    txtRetries->setText(f.retries);
    cboExists->setCurrentIndex(f.fileExists < cboExists->count() ? f.fileExists : 0);
    txtLog->setText(f.logPath);
    (f.rtf ? optRtf : optTxt)->setChecked(true);
    (f.keepLog ? optLog : optNolog)->setChecked(true);
    setLogControlsEnabled(f.keepLog);
    const int drive = Drive1->findText(QStorageInfo(f.logPath).rootPath());
    if (drive >= 0)
        Drive1->setCurrentIndex(drive);
    Drive1_Change();
    showInChooser(f.logPath);
}

// A quarter and three quarters of the list, each less 200 twips, whenever the list is sized.
bool formconfig::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lvwExtensions && event->type() == QEvent::Resize) {
        const int less = 200 * logicalDpiX() / 1440;
        const int width = static_cast<QResizeEvent *>(event)->size().width();
        lvwExtensions->setColumnWidth(0, qMax(40, width / 4 - less));
        lvwExtensions->setColumnWidth(1, qMax(40, width * 3 / 4 - less));
    }
    return QDialog::eventFilter(watched, event);
}

ConfigForm formconfig::form() const
{
    ConfigForm f;
    f.downloadType = optDAscii->isChecked()    ? Settings::Ascii
                     : optDBinary->isChecked() ? Settings::Binary
                                               : Settings::Auto;
    f.uploadType = optUAscii->isChecked()    ? Settings::Ascii
                   : optUBinary->isChecked() ? Settings::Binary
                                             : Settings::Auto;
    f.down = txtDown->text();
    f.up = txtUp->text();
    f.simultaneous = txtSimultaneous->text();
    f.retries = txtRetries->text();
    f.fileExists = quint8(qMax(0, cboExists->currentIndex()));
    for (int r = 0; r < lvwExtensions->topLevelItemCount(); ++r)
        f.extensions.append(lvwExtensions->topLevelItem(r)->data(0, Qt::UserRole).toString());
    f.logPath = txtLog->text();
    f.keepLog = optLog->isChecked();
    f.rtf = optRtf->isChecked();
    return f;
}

void formconfig::btnAdd_Click()
{
    QStringList existing;
    for (int r = 0; r < lvwExtensions->topLevelItemCount(); ++r)
        existing.append(lvwExtensions->topLevelItem(r)->data(0, Qt::UserRole).toString());
    QString problem;
    if (const auto extension = ConfigChecks::extensionToAdd(txtAdd->text(), existing, &problem))
        addExtensionRow(*extension);
    else
        m_host.prompter().message(problem, Prompter::Icon::Warning);
    txtAdd->clear();
}

void formconfig::btnRemove_Click()
{
    qDeleteAll(lvwExtensions->selectedItems());
}

void formconfig::btnOK_Click()
{
    const QString problem = ConfigChecks::store(form(), m_host.settings());
    if (!problem.isEmpty()) {
        m_host.prompter().message(problem, Prompter::Icon::Warning);
        return;
    }
    m_host.setLogFormat(m_host.settings().logFormat);
    accept();
}

void formconfig::btnCancel_Click()
{
    reject();
}

void formconfig::Drive1_Change()
{
    Dir1->setRootIndex(m_folders->index(Drive1->currentText()));
}

void formconfig::Dir1_Click()
{
    const QString path = m_folders->filePath(Dir1->currentIndex());
    if (!path.isEmpty())
        txtLog->setText(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
}

void formconfig::txtLog_KeyUp()
{
    showInChooser(txtLog->text());
}

// A folder that is there is shown (and selected) in the chooser.
void formconfig::showInChooser(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return;
    const QModelIndex index = m_folders->index(QFileInfo(path).absoluteFilePath());
    if (!index.isValid())
        return;
    Dir1->setCurrentIndex(index);
    Dir1->scrollTo(index);
}
