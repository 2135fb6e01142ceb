#include "OpenFailureBox.h"

void OpenFailureBox::failed(const QString &path)
{
    if (m_box && m_box->isOpen()) {
        m_box->setText(text(m_first, ++m_more));
        return;
    }
    m_first = path;
    m_more = 0;
    m_box = m_prompter.notice(text(path, 0), Prompter::Icon::Critical);
}

QString OpenFailureBox::text(const QString &path, int more)
{
    QString text = QStringLiteral("Could not open file ") + path;
    if (more > 0)
        text += QStringLiteral("\n... and %1 more: see the Failed tab").arg(more);
    return text;
}
