#include "AppState.h"

AppState::AppState(const AppFolders &appFolders) : folders(appFolders)
{
    settings.logPath = folders.logs;
}
