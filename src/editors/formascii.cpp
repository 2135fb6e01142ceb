#include "formascii.h"

#include "Events.h"
#include "RemoteSession.h"
#include "Prompter.h"
#include "formreplace.h"
#include "formsearch.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("Vestrigal - ASCII Editor - ");

// Marks long work: the busy pointer, and a close asked for meanwhile waits until it ends.
struct Busy
{
    explicit Busy(bool &flag) : flag(flag)
    {
        flag = true;
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~Busy()
    {
        flag = false;
        QApplication::restoreOverrideCursor();
    }
    bool &flag;
};

} // namespace

formascii::formascii(SessionSource session, FolderSource folder, Prompter &prompter, const QString &fileName,
                     const QString &tempFolder, QWidget *parent)
    : QMainWindow(parent), m_session(std::move(session)), m_folder(std::move(folder)), m_prompter(prompter),
      m_fileName(fileName), m_path(m_folder() + fileName), m_file(tempFolder)
{
    setObjectName(QStringLiteral("formascii"));
    setWindowTitle(Caption + QStringLiteral("Loading..."));
    createControls();
    createMenus();
    timeLoad = new QTimer(this);
    timeLoad->setObjectName(QStringLiteral("timeLoad"));
    timeLoad->setSingleShot(true);
    timeLoad->setInterval(1000);
    connect(timeLoad, &QTimer::timeout, this, &formascii::timeLoad_Timer);
    timeLoad->start();
}

void formascii::createControls()
{
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const QString &text, void (formascii::*slot)()) {
        auto *b = new QPushButton(text, central);
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus); // the text keeps the focus, and with it its selection
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    btnCut = button("btnCut", QStringLiteral("Cut"), &formascii::btnCut_Click);
    btnCopy = button("btnCopy", QStringLiteral("Copy"), &formascii::btnCopy_Click);
    btnPaste = button("btnPaste", QStringLiteral("Paste"), &formascii::btnPaste_Click);
    btnSearch = button("btnSearch", QStringLiteral("Search"), &formascii::btnSearch_Click);
    btnOpen = button("btnOpen", QStringLiteral("Open"), &formascii::btnOpen_Click);
    btnSave = button("btnSave", QStringLiteral("Save on server"), &formascii::btnSave_Click);
    btnSaveas = button("btnSaveas", QStringLiteral("Save copy as"), &formascii::btnSaveas_Click);
    buttons->addStretch();
    column->addLayout(buttons);
    txtArea = new TextArea(central);
    txtArea->setObjectName(QStringLiteral("txtArea"));
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    txtArea->setFont(mono);
    txtArea->installEventFilter(this);
    column->addWidget(txtArea);
    lblInfo = new QLabel(central);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    column->addWidget(lblInfo);
    setCentralWidget(central);
    resize(760, 560);
}

void formascii::createMenus()
{
    auto item = [this](QMenu *menu, const char *name, const QString &text, auto slot, QKeySequence keys = {}) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menu_file"));
    item(file, "menu_open", QStringLiteral("Open"), &formascii::btnOpen_Click);
    item(file, "menu_save", QStringLiteral("Save on server"), &formascii::btnSave_Click,
         QKeySequence(Qt::CTRL | Qt::Key_S));
    item(file, "menu_saveas", QStringLiteral("Save copy as..."), &formascii::btnSaveas_Click);
    file->addSeparator()->setObjectName(QStringLiteral("sep1"));
    item(file, "menu_exit", QStringLiteral("Exit"), &QWidget::close);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("menu_edit"));
    // The text area takes these keys itself while it has the focus; the menu shows them and acts on it.
    item(edit, "menu_undo", QStringLiteral("Undo"), [this] { txtArea->undo(); }, QKeySequence::Undo);
    item(edit, "menu_redo", QStringLiteral("Redo"), [this] { txtArea->redo(); }, QKeySequence::Redo);
    edit->addSeparator();
    item(edit, "menu_cut", QStringLiteral("Cut"), &formascii::btnCut_Click, QKeySequence(Qt::CTRL | Qt::Key_X));
    item(edit, "menu_copy", QStringLiteral("Copy"), &formascii::btnCopy_Click, QKeySequence(Qt::CTRL | Qt::Key_C));
    item(edit, "menu_paste", QStringLiteral("Paste"), &formascii::btnPaste_Click, QKeySequence(Qt::CTRL | Qt::Key_V));
    item(edit, "menu_selectall", QStringLiteral("Select all"), [this] { txtArea->selectAll(); },
         QKeySequence::SelectAll);
    edit->addSeparator()->setObjectName(QStringLiteral("sep2"));
    item(edit, "menu_search", QStringLiteral("Search"), &formascii::btnSearch_Click);
    item(edit, "menu_replace", QStringLiteral("Replace"), &formascii::menu_replace_Click);
}

QString formascii::text() const
{
    return txtArea->text();
}

void formascii::setText(const QString &text, const FindReplace::Spans &spans)
{
    QList<TextBuffer::Edit> edits;
    if (!spans.starts.isEmpty()) {
        edits.reserve(spans.starts.size());
        for (const qsizetype start : spans.starts)
            edits.append({start, spans.length, spans.replacement});
    } else {
        // Only the part between the first and the last difference is edited.
        const QString old = this->text();
        const qsizetype most = std::min(old.size(), text.size());
        qsizetype head = 0;
        while (head < most && old[head] == text[head])
            ++head;
        qsizetype tail = 0;
        while (tail < most - head && old[old.size() - 1 - tail] == text[text.size() - 1 - tail])
            ++tail;
        edits.append({head, old.size() - head - tail, text.mid(head, text.size() - head - tail)});
    }
    txtArea->applyEdits(std::move(edits));
}

void formascii::setInfo(qint64 count)
{
    lblInfo->setText(QStringLiteral("%1 file, %2 characters").arg(QFileInfo(m_fileName).suffix().toUpper()).arg(count));
}

void formascii::timeLoad_Timer()
{
    if (m_busy)
        return;
    timeLoad->stop();
    if (!load(m_fileName, m_path) || m_closeWhenDone)
        close();
}

// Fetches the file at `path` and shows it; when it cannot, says why and keeps what was there.
bool formascii::load(const QString &name, const QString &path)
{
    RemoteTextFile::Loaded loaded;
    {
        Busy busy(m_busy);
        setWindowTitle(Caption + QStringLiteral("Loading..."));
        loaded = m_file.load(m_session(), path);
        if (loaded == RemoteTextFile::Loaded::Ok) {
            m_fileName = name;
            m_path = path;
            setInfo(m_file.bytes());
            txtArea->setText(m_file.text());
            pumpEvents();
        }
        setWindowTitle(Caption + m_fileName);
    }
    if (loaded == RemoteTextFile::Loaded::TooLarge)
        m_prompter.message(QStringLiteral("The file is larger than 64 MiB, too large to edit here."),
                           Prompter::Icon::Critical);
    else if (loaded == RemoteTextFile::Loaded::Failed)
        m_prompter.message(QStringLiteral("Could not open ASCII file for viewing."), Prompter::Icon::Critical);
    return loaded == RemoteTextFile::Loaded::Ok;
}

void formascii::btnOpen_Click()
{
    if (m_busy)
        return;
    const QString name = m_prompter.input(QStringLiteral("Please enter the name of the remote file to be loaded."));
    if (name.isEmpty() || !changesSettled())
        return;
    // A name is in the folder the user is in now; the path is kept whatever is listed later.
    load(name, name.startsWith(QLatin1Char('/')) ? name : m_folder() + name);
    if (m_closeWhenDone)
        close();
}

void formascii::btnSave_Click()
{
    save();
    if (m_closeWhenDone)
        close();
}

// Stores the text on the server; a failure is told and the text stays.
bool formascii::save()
{
    if (m_busy)
        return false;
    QString problem;
    bool saved = false;
    const QString current = txtArea->buffer().textWithLineEnds();
    {
        Busy busy(m_busy);
        saved = m_file.save(m_session(), current, &problem);
    }
    if (!saved) {
        m_prompter.message(problem.isEmpty() ? QStringLiteral("Could not save file to server.") : problem,
                           Prompter::Icon::Critical);
        show(); // the text stays
        return false;
    }
    setInfo(current.size());
    txtArea->setModified(false);
    return true;
}

// True when the text may be let go: unchanged, saved, or the user chose to discard it.
bool formascii::changesSettled()
{
    if (!txtArea->isModified())
        return true;
    const int choice = m_prompter.choose(
        QStringLiteral("The text of %1 has been changed. Save it on the server first?").arg(m_fileName),
        {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")}, Prompter::Icon::Question);
    return choice == 1 || (choice == 0 && save());
}

void formascii::btnSaveas_Click()
{
    const QString path = m_prompter.saveFileName(QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    QString problem;
    if (!m_file.saveCopy(path, txtArea->buffer().textWithLineEnds(), &problem))
        m_prompter.message(problem, Prompter::Icon::Critical);
}

// Cut, copy and paste act on the control that has the focus; they fail silently.
void formascii::btnCut_Click()
{
    if (auto *line = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
        line->cut();
    else
        txtArea->cut();
}

void formascii::btnCopy_Click()
{
    if (auto *line = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
        line->copy();
    else
        txtArea->copy();
}

void formascii::btnPaste_Click()
{
    if (auto *line = qobject_cast<QLineEdit *>(QApplication::focusWidget()))
        line->paste();
    else
        txtArea->paste();
}

void formascii::btnSearch_Click()
{
    if (!m_search)
        m_search = new formsearch(*this, m_prompter);
    m_search->show();
    m_search->raise();
    m_search->activateWindow();
}

void formascii::menu_replace_Click()
{
    if (!m_replace)
        m_replace = new formreplace(*this, m_prompter);
    m_replace->show();
    m_replace->raise();
    m_replace->activateWindow();
}

bool formascii::eventFilter(QObject *watched, QEvent *event)
{
    // Tab puts three blanks at the start of the selection, which stays as it was; without one
    // the caret goes after them.
    if (watched == txtArea && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab) {
        txtArea->insertAt(txtArea->selectionStart(), QStringLiteral("   "));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void formascii::closeEvent(QCloseEvent *event)
{
    // A transfer lets events run; the window goes once it has finished.
    if (m_busy) {
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    if (!changesSettled()) {
        event->ignore();
        return;
    }
    if (m_search)
        m_search->close();
    if (m_replace)
        m_replace->close();
    QMainWindow::closeEvent(event);
}
