#pragma once

class QueueModel;

// The queue as the remote side reaches it when the connection comes and goes.
class TransferControl
{
public:
    virtual ~TransferControl() = default;
    virtual QueueModel &queue() = 0;
    // Transfers under way stop and their connections close.
    virtual void stopTransfer() = 0;
    // Waiting entries start when the queue runs.
    virtual void startIfIdle() = 0;
    // The totals line and the Pause and Resume items, after the queue or its state changed.
    virtual void showQueueState() = 0;
    // The user disconnected: the entries leave the queue and are not offered at the next start.
    virtual void clearQueue() = 0;
};
