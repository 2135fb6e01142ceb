#include "WidgetPrompter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(Prompter::Buttons buttons)
{
    switch (buttons) {
    case Prompter::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompter::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Prompter::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Prompter::Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

Prompter::Answer WidgetPrompter::message(const QString &text, Icon icon, Buttons buttons)
{
    QMessageBox box(boxIcon(icon), title(), text, boxButtons(buttons), m_parent);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

int WidgetPrompter::choose(const QString &text, const QStringList &buttons, Icon icon)
{
    return choose(text, buttons, icon, nullptr, nullptr);
}

int WidgetPrompter::chooseWithCheck(const QString &text, const QStringList &buttons, const QString &checkText,
                                    bool &checked, Icon icon)
{
    return choose(text, buttons, icon, &checkText, &checked);
}

int WidgetPrompter::choose(const QString &text, const QStringList &buttons, Icon icon, const QString *checkText,
                           bool *checked)
{
    QMessageBox box(boxIcon(icon), title(), text, QMessageBox::NoButton, m_parent);
    if (checkText)
        box.setCheckBox(new QCheckBox(*checkText)); // the box owns it
    QList<QAbstractButton *> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const bool last = i + 1 == buttons.size();
        added.append(box.addButton(buttons[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    // The way out is also the default: Enter must never pick a choice with consequences (trusting a
    // certificate), which a box would otherwise give to its first accepting button.
    if (!added.isEmpty()) {
        box.setEscapeButton(added.last());
        box.setDefaultButton(qobject_cast<QPushButton *>(added.last()));
    }
    box.exec();
    if (checked)
        *checked = box.checkBox()->isChecked();
    const qsizetype chosen = added.indexOf(box.clickedButton());
    return chosen < 0 ? int(buttons.size()) - 1 : int(chosen);
}

QString WidgetPrompter::input(const QString &prompt, const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title(), prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString WidgetPrompter::secret(const QString &prompt)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, title(), prompt, QLineEdit::Password, QString(), &ok);
    return ok ? text : QString();
}

QString WidgetPrompter::openFileName(const QString &filter, const QString &folder)
{
    return QFileDialog::getOpenFileName(m_parent, title(), folder, filter);
}

QString WidgetPrompter::saveFileName(const QString &filter, const QString &folder)
{
    return QFileDialog::getSaveFileName(m_parent, title(), folder, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

namespace {

class BoxNotice : public Prompter::Notice
{
public:
    explicit BoxNotice(QMessageBox *box) : m_box(box) {}
    bool isOpen() const override { return m_box && m_box->isVisible(); }
    void setText(const QString &text) override
    {
        if (m_box)
            m_box->setText(text);
    }

private:
    QPointer<QMessageBox> m_box;
};

} // namespace

std::shared_ptr<Prompter::Notice> WidgetPrompter::notice(const QString &text, Icon icon)
{
    auto *box = new QMessageBox(boxIcon(icon), title(), text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return std::make_shared<BoxNotice>(box);
}
