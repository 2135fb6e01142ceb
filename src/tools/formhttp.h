#pragma once

#include <QWidget>

class HttpQueue;
class Prompter;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeView;

// The HTTP download manager's window: the two fields, the queue, its buttons and popup; the
// queue and its transfers are the core's. Closing the window cancels the transfers.
class formhttp : public QWidget
{
    Q_OBJECT
public:
    explicit formhttp(Prompter &prompter, QWidget *parent = nullptr);
    ~formhttp() override;

    HttpQueue &queue() { return *m_queue; }
    static QString downloadFolder();

    QLineEdit *txtRemote, *txtLocal;
    QPushButton *btnBrowse, *btnAdd, *btnCancel, *btnPause, *btnResume, *btnClear;
    QLabel *lblCurrent, *lblTotal, *lblInfo;
    QProgressBar *barCurrent;
    QTreeView *lvwFiles;
    QMenu *menu;
    QAction *menu_cancel, *menu_clear, *menu_pause, *menu_resume;

public slots:
    void btnBrowse_Click();
    void btnAdd_Click();
    void btnCancel_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void resetFields();
    void showRunning(bool running);
    void showProgress();
    void sizeColumns();

    Prompter &m_prompter;
    HttpQueue *m_queue;
};
