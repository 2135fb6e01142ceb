#include "formsearch.h"

#include "FindReplace.h"
#include "Prompter.h"
#include "formascii.h"

#include <QKeyEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

formsearch::formsearch(formascii &editor, Prompter &prompter)
    : QWidget(&editor, Qt::Window), m_editor(editor), m_prompter(prompter)
{
    setObjectName(QStringLiteral("formsearch"));
    setWindowTitle(QStringLiteral("Search for text..."));
    auto *form = new QFormLayout(this);
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    form->addRow(QStringLiteral("Search for:"), txtSearch);
    auto *direction = new QHBoxLayout;
    optUp = new QRadioButton(QStringLiteral("Up"), this);
    optUp->setObjectName(QStringLiteral("optUp"));
    optDown = new QRadioButton(QStringLiteral("Down"), this);
    optDown->setObjectName(QStringLiteral("optDown"));
    optDown->setChecked(true);
    direction->addWidget(optUp);
    direction->addWidget(optDown);
    form->addRow(QStringLiteral("Direction:"), direction);
    auto *buttons = new QHBoxLayout;
    btnSearch = new QPushButton(QStringLiteral("Search"), this);
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnNext = new QPushButton(QStringLiteral("Find next"), this);
    btnNext->setObjectName(QStringLiteral("btnNext"));
    buttons->addWidget(btnSearch);
    buttons->addWidget(btnNext);
    form->addRow(buttons);
    connect(btnSearch, &QPushButton::clicked, this, &formsearch::btnSearch_Click);
    connect(btnNext, &QPushButton::clicked, this, &formsearch::btnNext_Click);
}

void formsearch::btnSearch_Click()
{
    const FindReplace::Found found = FindReplace::search(txtSearch->text(), m_editor.text(), m_counter);
    m_counter = found.counter;
    if (found.found)
        selectInEditor(found.start, found.length);
    else
        tell(found.message);
}

void formsearch::btnNext_Click()
{
    const FindReplace::Found found =
        FindReplace::findNext(txtSearch->text(), m_editor.text(), m_counter, optUp->isChecked());
    m_counter = found.counter;
    if (found.found)
        selectInEditor(found.start, found.length);
    else
        tell(found.message);
}

void formsearch::selectInEditor(qsizetype start, qsizetype length)
{
    hide();
    m_editor.txtArea->setSelection(start, length);
    m_editor.txtArea->setFocus();
}

void formsearch::tell(const QString &message)
{
    m_prompter.message(message, Prompter::Icon::Warning);
    m_editor.show();
    show();
}

void formsearch::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}
