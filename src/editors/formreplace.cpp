#include "formreplace.h"

#include "FindReplace.h"
#include "Prompter.h"
#include "formascii.h"

#include <QKeyEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

formreplace::formreplace(formascii &editor, Prompter &prompter)
    : QWidget(&editor, Qt::Window), m_editor(editor), m_prompter(prompter)
{
    setObjectName(QStringLiteral("formreplace"));
    setWindowTitle(QStringLiteral("Replace text..."));
    auto *form = new QFormLayout(this);
    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    form->addRow(QStringLiteral("Serach for:"), txtSearch);
    txtReplace = new QLineEdit(this);
    txtReplace->setObjectName(QStringLiteral("txtReplace"));
    form->addRow(QStringLiteral("Replace by:"), txtReplace);
    auto *buttons = new QHBoxLayout;
    btnReplace = new QPushButton(QStringLiteral("Replace"), this);
    btnReplace->setObjectName(QStringLiteral("btnReplace"));
    btnReplaceall = new QPushButton(QStringLiteral("Replace all"), this);
    btnReplaceall->setObjectName(QStringLiteral("btnReplaceall"));
    buttons->addWidget(btnReplace);
    buttons->addWidget(btnReplaceall);
    form->addRow(buttons);
    connect(btnReplace, &QPushButton::clicked, this, &formreplace::btnReplace_Click);
    connect(btnReplaceall, &QPushButton::clicked, this, &formreplace::btnReplaceall_Click);
}

void formreplace::btnReplace_Click()
{
    apply(false);
}

void formreplace::btnReplaceall_Click()
{
    apply(true);
}

void formreplace::apply(bool all)
{
    const QString text = m_editor.text();
    const FindReplace::Replaced r = all ? FindReplace::replaceAll(txtSearch->text(), txtReplace->text(), text)
                                        : FindReplace::replace(txtSearch->text(), txtReplace->text(), text);
    if (r.changed)
        m_editor.setText(r.text, r.spans);
    m_prompter.message(r.message, Prompter::Icon::Warning);
    m_editor.show();
    show();
}

void formreplace::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}
