#include "QueuePane.h"

#include "formmain.h"

QueuePane::QueuePane(formmain &window) : QObject(&window), m_window(window) {}

void QueuePane::btnResume_Click() {}

void QueuePane::btnPause_Click() {}

void QueuePane::menu_cancel_Click() {}
