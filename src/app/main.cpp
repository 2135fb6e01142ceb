#include "AppFolders.h"
#include "AppState.h"
#include "FileIconCache.h"
#include "formmain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vestrigal"));
    setUpIconTheme();

    const AppFolders folders = AppFolders::locate();
    folders.createMissing();
    AppState state(folders);

    formmain window(state);
    window.show();
    return app.exec();
}
