#include "Events.h"

#include <QCoreApplication>

void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
