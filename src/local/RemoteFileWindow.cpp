#include "RemoteFileWindow.h"

#include "variousFunctions.h"

#include <QSet>

RemoteFileWindow remoteFileWindowFor(const QString &fileName)
{
    static const QSet<QString> images = {"jpg", "gif", "bmp", "pcx", "jpeg", "ico", "png", "tga"};
    static const QSet<QString> texts = {"html", "css", "php",  "php3", "shtml", "htm", "dhtml",
                                        "asp",  "js",  "aspx", "cgi",  "pl",    "txt"};
    const QString extension = variousFunctions::GetFileExtension(fileName).toLower();
    if (images.contains(extension))
        return RemoteFileWindow::ImageViewer;
    if (texts.contains(extension))
        return RemoteFileWindow::TextEditor;
    return RemoteFileWindow::None;
}
