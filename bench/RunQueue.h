#pragma once

#include "QueuePane.h"
#include "TransferEngine.h"
#include "formmain.h"

#include <QEventLoop>

// Runs the window's queue as the engine would after an enqueue, until no file moves.
inline void runWindowQueue(formmain &window)
{
    // Checked after each end has been dealt with: the next entry may start from there.
    TransferEngine &engine = window.queuePane().engine();
    QEventLoop loop;
    QObject::connect(&engine, &TransferEngine::entryEnded, &loop, [&] {
        if (!engine.isActive())
            loop.quit();
    }, Qt::QueuedConnection);
    window.queuePane().ProcessTransfer();
    if (engine.isActive())
        loop.exec();
}
