#include "formnews.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

formnews::formnews(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formnews"));
    setWindowTitle(QStringLiteral("Vestrigal - What's new"));
    auto *layout = new QVBoxLayout(this);
    auto *picture = new QLabel(this);
    picture->setPixmap(QIcon::fromTheme(QStringLiteral("network-server")).pixmap(48, 48));
    layout->addWidget(picture);
    auto *heading = new QLabel(QStringLiteral("<b>What's new in 5.0?</b>"), this);
    layout->addWidget(heading);
    const char *notes[] = {
        "- A toolbar for the commands you use most.",
        "- An HTTP download manager in the Tools menu.",
        "- A configuration panel with three sections: transfers, file types and logs.",
        "- Many fixes in the transfer queue.",
        "- A Logs menu to start, continue and clear log files.",
        "- Drag and drop of several files and folders at once.",
        "- Logs are kept in the program's folder.",
    };
    for (const char *note : notes)
        layout->addWidget(new QLabel(QString::fromUtf8(note), this));
    auto *btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    connect(btnOk, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(btnOk, 0, Qt::AlignRight);
}
