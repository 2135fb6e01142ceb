#pragma once

#include "Prompter.h"

#include <QList>
#include <QStringList>
#include <functional>

// A Prompter that answers from queues and records what it was asked: for tests and
// for running windows without a user. When a queue is empty it answers Cancel / "".
class ScriptedPrompter : public Prompter
{
public:
    struct Shown
    {
        QString text;
        Icon icon;
        Buttons buttons;
    };

    QList<Answer> answers;
    QList<int> choices; // indexes for choose(); when empty, the last button (the way out)
    QList<bool> checks; // the check box of each chooseWithCheck(), in order; unticked when empty
    std::function<void()> meanwhile; // runs while a choice is shown, as a box's own event loop would
    QStringList inputs;
    QStringList fileNames;

    QList<Shown> shown;  // every message, in order
    QStringList prompts; // every input prompt and file filter, in order
    QList<QStringList> choiceButtons; // the buttons of every choose(), its text is in shown

    Answer message(const QString &text, Icon icon, Buttons buttons) override
    {
        shown.append({text, icon, buttons});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
    int choose(const QString &text, const QStringList &buttons, Icon icon) override
    {
        shown.append({text, icon, Buttons::Ok});
        choiceButtons.append(buttons);
        if (meanwhile)
            meanwhile();
        const int last = int(buttons.size()) - 1;
        if (!choices.isEmpty())
            return qBound(0, choices.takeFirst(), last);
        return last;
    }
    int chooseWithCheck(const QString &text, const QStringList &buttons, const QString &, bool &checked,
                        Icon icon) override
    {
        checked = !checks.isEmpty() && checks.takeFirst();
        return choose(text, buttons, icon);
    }
    QString input(const QString &prompt, const QString &) override
    {
        prompts.append(prompt);
        return inputs.isEmpty() ? QString() : inputs.takeFirst();
    }
    QString openFileName(const QString &filter, const QString &) override
    {
        prompts.append(filter);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString saveFileName(const QString &filter, const QString &folder) override { return openFileName(filter, folder); }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Shown &s : shown)
            texts.append(s.text);
        return texts;
    }
};
