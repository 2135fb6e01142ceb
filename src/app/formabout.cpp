#include "formabout.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString cppRuntime()
{
#if defined(__GLIBCXX__)
    return QStringLiteral("GNU libstdc++ %1").arg(__GLIBCXX__);
#elif defined(_LIBCPP_VERSION)
    return QStringLiteral("LLVM libc++ %1").arg(_LIBCPP_VERSION);
#else
    return QStringLiteral("the C++ standard library");
#endif
}

} // namespace

formabout::formabout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("formabout"));
    setWindowTitle(QStringLiteral("Vestrigal - About Us"));
    auto *layout = new QVBoxLayout(this);
    auto *picture = new QLabel(this);
    picture->setPixmap(QIcon::fromTheme(QStringLiteral("network-server")).pixmap(48, 48));
    layout->addWidget(picture);
    layout->addWidget(new QLabel(QStringLiteral("<b>Vestrigal v5.0</b>"), this));
    layout->addWidget(new QLabel(QStringLiteral("Written by the Vestrigal developers."), this));
    layout->addWidget(new QLabel(QStringLiteral("Libraries used: Qt %1 (Core, Gui, Widgets, Network) and %2")
                                     .arg(QString::fromLatin1(qVersion()), cppRuntime()),
                                 this));
    layout->addWidget(
        new QLabel(QStringLiteral("Questions and ideas are welcome on the project's issue tracker."), this));
    auto *btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(btnOK, 0, Qt::AlignRight);
}
