#include "RemotePane.h"

#include "formmain.h"

RemotePane::RemotePane(formmain &window) : QObject(&window), m_window(window) {}
