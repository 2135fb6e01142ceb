#include "Events.h"

#include <QCoreApplication>
#include <QThread>

namespace {
int pumpDepth = 0; // the user-interface thread only
}

void pumpEvents()
{
    ++pumpDepth;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    --pumpDepth;
}

int eventNesting()
{
    return QThread::currentThread()->loopLevel() + pumpDepth;
}
