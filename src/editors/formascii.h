#pragma once

#include "FindReplace.h"
#include "RemoteTextFile.h"
#include "SessionSource.h"
#include "TextArea.h"
#include "formreplace.h"
#include "formsearch.h"

#include <QMainWindow>
#include <QPointer>

class RemoteSession;
class Prompter;
class QLabel;
class QPushButton;
class QTimer;

// The text editor for a file on the server: loads it a second after it opens, edits it as
// plain text, saves it back, and opens the find and replace windows on its text. It reaches
// the rest of the program only through the session and the prompter.
class formascii : public QMainWindow
{
    Q_OBJECT
public:
    // `fileName` is in the folder `folder` gives now; the file is loaded and saved by its full path,
    // so listing another folder meanwhile does not move it.
    formascii(SessionSource session, FolderSource folder, Prompter &prompter, const QString &fileName,
              const QString &tempFolder, QWidget *parent = nullptr);

    QString fileName() const { return m_fileName; }
    QString remotePath() const { return m_path; }
    const RemoteTextFile &file() const { return m_file; }
    // The plain text as typed (line ends as "\n").
    QString text() const;
    // Replaces the text as one step the user can undo; `spans`, when given, say what changed,
    // and only they are edited.
    void setText(const QString &text, const FindReplace::Spans &spans = {});
    formsearch *searchWindow() const { return m_search; }
    formreplace *replaceWindow() const { return m_replace; }

    TextArea *txtArea;
    QLabel *lblInfo;
    QTimer *timeLoad;
    QPushButton *btnCut, *btnCopy, *btnPaste, *btnSearch, *btnOpen, *btnSave, *btnSaveas;

public slots:
    void timeLoad_Timer();
    void btnOpen_Click();
    void btnSave_Click();
    void btnSaveas_Click();
    void btnCut_Click();
    void btnCopy_Click();
    void btnPaste_Click();
    void btnSearch_Click();
    void menu_replace_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setInfo(qint64 count);
    bool load(const QString &name, const QString &path);
    bool save();
    bool changesSettled();

    SessionSource m_session;
    FolderSource m_folder;
    Prompter &m_prompter;
    QString m_fileName;
    QString m_path;
    RemoteTextFile m_file;
    QPointer<formsearch> m_search;
    QPointer<formreplace> m_replace;
    bool m_busy = false;
    bool m_closeWhenDone = false;
};
