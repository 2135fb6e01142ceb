#pragma once

#include "SessionSource.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

class RemoteSession;
class Prompter;
class QLabel;
class QPushButton;

// The image viewer: fetches one picture from the server in binary mode into the temp folder,
// shows it centred in a fixed viewing area, zooms it in whole multiples of its own size and
// copies it. It reaches the rest of the program only through the session and the prompter.
class formimage : public QMainWindow
{
    Q_OBJECT
public:
    formimage(SessionSource session, Prompter &prompter, const QString &remoteName, const QString &tempFolder,
              QWidget *parent = nullptr);

    // Fetches and shows the picture; on failure tells the user and closes. False on failure.
    bool load();
    QString picturePath() const { return m_picturePath; }
    int zoom() const { return m_zoom; }

    QWidget *Picture1;
    QLabel *Image1;
    QLabel *lblImgInfo;
    QPushButton *btnCopy, *btnOri, *btnZoomPlus, *btnZoomMinus;

public slots:
    void btnZoomPlus_Click();
    void btnZoomMinus_Click();
    void btnOri_Click();
    void btnCopy_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    bool fail();
    void showPicture(const QImage &image);
    void applyZoom();

    SessionSource m_session;
    Prompter &m_prompter;
    QString m_remoteName;
    QString m_tempFolder;
    QString m_picturePath;
    QSize m_original;
    int m_zoom = 1;
    bool m_loading = false;
    bool m_closeWhenLoaded = false;
};
