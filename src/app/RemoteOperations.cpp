#include "RemoteOperations.h"

#include "formmain.h"

RemoteOperations::RemoteOperations(formmain &window) : QObject(&window), m_window(window) {}
