#include "formimage.h"

#include "Events.h"
#include "RemoteSession.h"
#include "PictureFormats.h"
#include "Prompter.h"
#include "ServerNames.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString CouldNotLoad = QStringLiteral("Could not load picture.");
constexpr QSize ViewingArea(560, 400);

} // namespace

formimage::formimage(SessionSource session, Prompter &prompter, const QString &remoteName, const QString &tempFolder,
                     QWidget *parent)
    : QMainWindow(parent), m_session(std::move(session)), m_prompter(prompter), m_remoteName(remoteName), m_tempFolder(tempFolder)
{
    setObjectName(QStringLiteral("formimage"));
    setWindowTitle(QStringLiteral("Vestrigal - Image Viewer"));
    createControls();
    createMenus();
}

void formimage::createControls()
{
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    Picture1 = new QWidget(central);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFixedSize(ViewingArea);
    Picture1->setAutoFillBackground(true);
    Picture1->setBackgroundRole(QPalette::Dark);
    Image1 = new QLabel(Picture1); // a child is cut at its parent's edges
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    column->addWidget(Picture1);
    lblImgInfo = new QLabel(central);
    lblImgInfo->setObjectName(QStringLiteral("lblImgInfo"));
    column->addWidget(lblImgInfo);
    auto *buttons = new QHBoxLayout;
    auto button = [&](const char *name, const QString &text, void (formimage::*slot)()) {
        auto *b = new QPushButton(text, central);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    btnCopy = button("btnCopy", QStringLiteral("Copy"), &formimage::btnCopy_Click);
    btnOri = button("btnOri", QStringLiteral("Original size"), &formimage::btnOri_Click);
    btnZoomPlus = button("btnZoomPlus", QStringLiteral("Zoom +"), &formimage::btnZoomPlus_Click);
    btnZoomMinus = button("btnZoomMinus", QStringLiteral("Zoom -"), &formimage::btnZoomMinus_Click);
    column->addLayout(buttons);
    setCentralWidget(central);
}

void formimage::createMenus()
{
    auto item = [this](QMenu *menu, const char *name, const QString &text, auto slot) {
        QAction *action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("menu_file"));
    item(file, "menu_exit", QStringLiteral("Exit"), &QWidget::close);
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("menu_edit"));
    item(edit, "menu_copy", QStringLiteral("Copy"), &formimage::btnCopy_Click);
    QMenu *image = menuBar()->addMenu(QStringLiteral("&Image"));
    image->setObjectName(QStringLiteral("menu_image"));
    item(image, "menu_zoomm", QStringLiteral("Zoom -"), &formimage::btnZoomMinus_Click);
    item(image, "menu_zoomp", QStringLiteral("Zoom +"), &formimage::btnZoomPlus_Click);
    image->addSeparator()->setObjectName(QStringLiteral("sep1"));
    item(image, "menu_restore", QStringLiteral("Restore original size"), &formimage::btnOri_Click);
}

bool formimage::load()
{
    m_loading = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    setWindowTitle(QStringLiteral("Vestrigal - Image Viewer - Loading..."));
    pumpEvents();
    // A server name becomes a local file name only when it is safe as one.
    const std::optional<QString> local = ServerNames::localPathForServerName(m_tempFolder, m_remoteName);
    const QString path = local.value_or(QString());
    RemoteSession *session = m_session();
    const bool fetched = local && session && session->getFile(m_remoteName, path, FtpTransferType::Binary);
    QApplication::restoreOverrideCursor();
    if (!fetched)
        return fail();
    m_picturePath = path;
    const QImage image = PictureFormats::loadPicture(path);
    if (image.isNull())
        return fail(); // not a picture we can decode: the same message, and the program goes on
    showPicture(image);
    m_loading = false;
    if (m_closeWhenLoaded)
        close();
    return true;
}

bool formimage::fail()
{
    m_loading = false;
    m_prompter.message(CouldNotLoad, Prompter::Icon::Critical);
    close();
    return false;
}

void formimage::showPicture(const QImage &image)
{
    Image1->clear();
    Image1->setPixmap(QPixmap::fromImage(image));
    setWindowTitle(QStringLiteral("Vestrigal - Image Viewer - ") + m_picturePath);
    m_original = image.size();
    m_zoom = 1;
    applyZoom();
    lblImgInfo->setText(QStringLiteral("%1 image, %2x%3 pixels")
                            .arg(QFileInfo(m_picturePath).suffix().toUpper())
                            .arg(m_original.width())
                            .arg(m_original.height()));
}

// Sizes the picture to the zoom factor and centres it; a picture larger than the area is cut.
void formimage::applyZoom()
{
    const QSize size = m_original * m_zoom;
    Image1->setGeometry((Picture1->width() - size.width()) / 2, (Picture1->height() - size.height()) / 2, size.width(),
                        size.height());
}

void formimage::btnZoomPlus_Click()
{
    const QSize next = m_original * (m_zoom + 1);
    if (m_original.isEmpty() || next.width() > Picture1->width() || next.height() > Picture1->height())
        return;
    ++m_zoom;
    applyZoom();
}

void formimage::btnZoomMinus_Click()
{
    if (m_zoom <= 1)
        return;
    --m_zoom;
    applyZoom();
}

void formimage::btnOri_Click()
{
    if (m_original.isEmpty())
        return;
    m_zoom = 1;
    applyZoom();
}

void formimage::btnCopy_Click()
{
    if (m_picturePath.isEmpty())
        return;
    // The picture at its own size, read afresh, whatever the zoom shows.
    const QImage image = PictureFormats::loadPicture(m_picturePath);
    if (image.isNull())
        return;
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(image);
}

void formimage::closeEvent(QCloseEvent *event)
{
    // The fetch lets events run; the window goes once it has finished.
    if (m_loading) {
        m_closeWhenLoaded = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
