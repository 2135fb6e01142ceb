#pragma once

#include "Prompter.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

// Changing the login password on servers that offer SITE PSWD.
class formpass : public QDialog
{
    Q_OBJECT
public:
    // send: sends the command text and returns whether the server took it.
    using Sender = std::function<bool(const QString &command, const QString &oldPassword, const QString &newPassword)>;

    formpass(Prompter &prompter, Sender send, QWidget *parent = nullptr);

    QLineEdit *txtOld, *txtNew, *txtConf;
    QPushButton *btnOk, *btnCancel;

public slots:
    void txtNew_KeyUp();
    void btnOk_Click();

private:
    Prompter &m_prompter;
    Sender m_send;
};
