#pragma once

#include <QObject>

class formmain;

// The transfer queue of the main window: enqueueing, the engine and the queue controls.
class QueuePane : public QObject
{
    Q_OBJECT
public:
    explicit QueuePane(formmain &window);

public slots:
    void btnResume_Click();
    void btnPause_Click();
    void menu_cancel_Click();

private:
    formmain &m_window;
};
