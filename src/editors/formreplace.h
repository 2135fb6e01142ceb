#pragma once

#include <QWidget>

class Prompter;
class QLineEdit;
class QPushButton;
class formascii;

// "Replace text...": replaces the first or every occurrence in the editor's text.
class formreplace : public QWidget
{
    Q_OBJECT
public:
    formreplace(formascii &editor, Prompter &prompter);

    QLineEdit *txtSearch, *txtReplace;
    QPushButton *btnReplace, *btnReplaceall;

public slots:
    void btnReplace_Click();
    void btnReplaceall_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override; // Escape closes, as in a dialog

private:
    void apply(bool all);

    formascii &m_editor;
    Prompter &m_prompter;
};
