#include "LocalPane.h"

#include "formmain.h"

LocalPane::LocalPane(formmain &window) : QObject(&window), m_window(window) {}

void LocalPane::ListDrives() {}

void LocalPane::ClientGetDirectoryContents() {}
