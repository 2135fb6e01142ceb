#pragma once

#include "Prompter.h"

#include <QString>
#include <memory>

// The "Could not open file ..." box, one at a time: files that fail to open while it is open are
// counted into it, and the user finds them all in the failed list. Nothing waits for the box.
class OpenFailureBox
{
public:
    explicit OpenFailureBox(Prompter &prompter) : m_prompter(prompter) {}

    void failed(const QString &path);
    // "Could not open file /a", then "... and 2 more: see the Failed tab" when more came.
    static QString text(const QString &path, int more);

private:
    Prompter &m_prompter;
    std::shared_ptr<Prompter::Notice> m_box;
    QString m_first;
    int m_more = 0;
};
