#include "formpass.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

formpass::formpass(Prompter &prompter, Sender send, QWidget *parent)
    : QDialog(parent), m_prompter(prompter), m_send(std::move(send))
{
    setObjectName(QStringLiteral("formpass"));
    setWindowTitle(QStringLiteral("Vestrigal - Change password"));
    auto *layout = new QVBoxLayout(this);
    auto *note = new QLabel(QStringLiteral("Here you can change your password. However, this is not supported by all "
                                           "servers. Also, you must have the appropriated privileges to change your "
                                           "password."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto *form = new QFormLayout;
    auto field = [&](const QString &name, const QString &label) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setEchoMode(QLineEdit::Password); // nobody reads a password over the user's shoulder
        form->addRow(label, edit);
        return edit;
    };
    txtOld = field(QStringLiteral("txtOld"), QStringLiteral("Old password:"));
    txtNew = field(QStringLiteral("txtNew"), QStringLiteral("New password:"));
    txtConf = field(QStringLiteral("txtConf"), QStringLiteral("Confirm password:"));
    layout->addLayout(form);
    auto *buttons = new QHBoxLayout;
    btnOk = new QPushButton(QStringLiteral("Change"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    btnOk->setEnabled(false);
    connect(txtNew, &QLineEdit::textChanged, this, &formpass::txtNew_KeyUp);
    connect(txtConf, &QLineEdit::textChanged, this, &formpass::txtNew_KeyUp);
    connect(btnOk, &QPushButton::clicked, this, &formpass::btnOk_Click);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

void formpass::txtNew_KeyUp()
{
    btnOk->setEnabled(!txtNew->text().isEmpty() && txtNew->text() == txtConf->text());
}

void formpass::btnOk_Click()
{
    if (txtNew->text() != txtConf->text()) {
        m_prompter.message(QStringLiteral("The new password and its confirmation must be the same!"),
                           Prompter::Icon::Critical);
        return;
    }
    const bool changed = m_send(QStringLiteral("SITE PSWD ") + txtOld->text() + QLatin1Char(' ') + txtNew->text(),
                                txtOld->text(), txtNew->text());
    m_prompter.message(changed ? QStringLiteral("The password has been successfully changed.")
                               : QStringLiteral("The password could not be changed."),
                       changed ? Prompter::Icon::Information : Prompter::Icon::Warning);
    close();
}
