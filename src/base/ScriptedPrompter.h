#pragma once

#include "Prompter.h"

#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

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
    QStringList secrets; // the answers of secret(), apart from inputs: a secret must not be asked in clear
    QStringList fileNames;
    bool keepNoticesOpen = false; // else a notice is closed at once, as if its OK were clicked

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
    QString secret(const QString &prompt) override
    {
        prompts.append(prompt);
        return secrets.isEmpty() ? QString() : secrets.takeFirst();
    }
    QString openFileName(const QString &filter, const QString &) override
    {
        prompts.append(filter);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }
    QString saveFileName(const QString &filter, const QString &folder) override { return openFileName(filter, folder); }

    // A notice is a message in shown, whose text follows setText while it is open.
    struct ScriptedNotice : Notice
    {
        ScriptedNotice(QList<Shown> *shown, qsizetype index, bool open) : shown(shown), index(index), open(open) {}
        QList<Shown> *shown;
        qsizetype index;
        bool open;
        bool isOpen() const override { return open; }
        void setText(const QString &text) override
        {
            if (open)
                (*shown)[index].text = text;
        }
    };
    std::shared_ptr<Notice> notice(const QString &text, Icon icon) override
    {
        shown.append({text, icon, Buttons::Ok});
        auto made = std::make_shared<ScriptedNotice>(&shown, shown.size() - 1, keepNoticesOpen);
        notices.append(made);
        return made;
    }
    QList<std::shared_ptr<ScriptedNotice>> notices; // every notice, in order
    void closeNotices()
    {
        for (const auto &n : std::as_const(notices))
            n->open = false;
    }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Shown &s : shown)
            texts.append(s.text);
        return texts;
    }
};
