#pragma once

class QueueModel;

// The queue as the remote side reaches it when the connection goes.
class TransferControl
{
public:
    virtual ~TransferControl() = default;
    virtual QueueModel &queue() = 0;
    // Asks a transfer under way to end; it finishes by itself.
    virtual void stopTransfer() = 0;
    // The totals line and the Pause and Resume items, after the queue or its state changed.
    virtual void showQueueState() = 0;
};
