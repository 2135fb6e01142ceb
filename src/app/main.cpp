#include "AppFolders.h"
#include "AppState.h"
#include "formmain.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vestrigal"));
    formmain::setUpIconTheme();

    const AppFolders folders = AppFolders::locate();
    folders.createMissing();
    AppState state(folders);

    formmain window(state);
    window.show();
    return app.exec();
}
