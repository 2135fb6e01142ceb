#pragma once

#include <QString>
#include <QStringList>
#include <memory>

// Every message box, input box and file dialog goes through here, titled "Vestrigal".
// Windows get a widget implementation; tests script the answers.
class Prompter
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;

    virtual Answer message(const QString &text, Icon icon = Icon::None, Buttons buttons = Buttons::Ok) = 0;
    // A question with buttons of its own, the last one being the way out: Escape, closing the box
    // and Enter all choose it, so that only a deliberate click takes one of the others (trusting a
    // certificate, say). The index of the button chosen.
    virtual int choose(const QString &text, const QStringList &buttons, Icon icon = Icon::Question) = 0;
    // choose() with a check box (checkText) under the text; checked says whether it was ticked.
    virtual int chooseWithCheck(const QString &text, const QStringList &buttons, const QString &checkText,
                                bool &checked, Icon icon = Icon::Question)
    {
        Q_UNUSED(checkText);
        checked = false;
        return choose(text, buttons, icon);
    }
    // The typed text; an empty text when the user cancelled.
    virtual QString input(const QString &prompt, const QString &defaultText = {}) = 0;
    // input() for a secret (a key's passphrase): what is typed is not shown.
    virtual QString secret(const QString &prompt) { return input(prompt); }
    // The chosen path; empty when cancelled. Filters are Qt style ("Text files (*.txt)").
    virtual QString openFileName(const QString &filter, const QString &folder = {}) = 0;
    virtual QString saveFileName(const QString &filter, const QString &folder = {}) = 0;

    // A message that does not wait for the user: shown, and the caller goes on at once while it is
    // open. Its text may change meanwhile; dropping the handle leaves the box as it is.
    class Notice
    {
    public:
        virtual ~Notice() = default;
        virtual bool isOpen() const = 0;
        virtual void setText(const QString &text) = 0;
    };
    virtual std::shared_ptr<Notice> notice(const QString &text, Icon icon = Icon::None) = 0;

    static QString title() { return QStringLiteral("Vestrigal"); }
};
