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
    // What this version does, and nothing it does not.
    const char *notes[] = {
        "- FTP over TLS: encrypted when the server offers it, ftpes:// and ftps:// addresses, and a question "
        "you answer once for a certificate that cannot be verified; a padlock in the status bar shows it.",
        "- A transfer queue that shows each file's progress, speed and time left, and can be paused, resumed "
        "and cancelled.",
        "- Drag and drop of several files and folders at once, onto a folder or the empty part of a list.",
        "- Deleting on the server asks first; local deletions, and local files a download replaces, go to "
        "the trash.",
        "- Profiles for your servers, and a configuration window for transfer types, block sizes and logs.",
        "- A text editor and an image viewer for remote files, an HTTP download manager, a calculator and help.",
        "- A Logs menu to start, continue and clear log files; clearing the window keeps the log file whole.",
        "- Keyboard: Enter connects, Backspace goes up a folder, the arrow keys browse the folder trees.",
    };
    for (const char *note : notes) {
        auto *line = new QLabel(QString::fromUtf8(note), this);
        line->setWordWrap(true);
        layout->addWidget(line);
    }
    auto *btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    connect(btnOk, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(btnOk, 0, Qt::AlignRight);
}
