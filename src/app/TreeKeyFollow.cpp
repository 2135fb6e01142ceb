#include "TreeKeyFollow.h"

#include <QKeyEvent>
#include <QTreeView>

TreeKeyFollow::TreeKeyFollow(QTreeView *tree) : QObject(tree), m_tree(tree)
{
    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, &TreeKeyFollow::onPause);
    tree->installEventFilter(this);
}

bool TreeKeyFollow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent *>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!m_pause.isActive())
                m_before = m_tree->currentIndex();
            m_pause.start(); // each key waits again
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TreeKeyFollow::onPause()
{
    const QModelIndex now = m_tree->currentIndex();
    if (now.isValid() && now != QModelIndex(m_before))
        emit settled(now);
}
