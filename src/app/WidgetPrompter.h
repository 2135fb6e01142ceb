#pragma once

#include "Prompter.h"

class QWidget;

// Prompts as real message boxes, input boxes and file dialogs over a parent window.
class WidgetPrompter : public Prompter
{
public:
    explicit WidgetPrompter(QWidget *parent) : m_parent(parent) {}

    Answer message(const QString &text, Icon icon, Buttons buttons) override;
    int choose(const QString &text, const QStringList &buttons, Icon icon) override;
    int chooseWithCheck(const QString &text, const QStringList &buttons, const QString &checkText, bool &checked,
                        Icon icon) override;
    QString input(const QString &prompt, const QString &defaultText) override;
    QString secret(const QString &prompt) override; // masked
    QString openFileName(const QString &filter, const QString &folder) override;
    QString saveFileName(const QString &filter, const QString &folder) override;
    // A box opened with open(): window-modal, but nothing waits for it.
    std::shared_ptr<Notice> notice(const QString &text, Icon icon) override;

private:
    int choose(const QString &text, const QStringList &buttons, Icon icon, const QString *checkText, bool *checked);

    QWidget *m_parent;
};
