#pragma once

#include <QWidget>

class Prompter;
class QLineEdit;
class QPushButton;
class QRadioButton;
class formascii;

// "Search for text...": selects occurrences in the editor's text one after the other.
class formsearch : public QWidget
{
    Q_OBJECT
public:
    formsearch(formascii &editor, Prompter &prompter);

    int counter() const { return m_counter; }

    QLineEdit *txtSearch;
    QRadioButton *optUp, *optDown;
    QPushButton *btnSearch, *btnNext;

public slots:
    void btnSearch_Click();
    void btnNext_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override; // Escape closes, as in a dialog

private:
    void selectInEditor(qsizetype start, qsizetype length);
    void tell(const QString &message);

    formascii &m_editor;
    Prompter &m_prompter;
    int m_counter = 0; // the occurrence last selected, 1-based
};
