#pragma once

#include "Calculator.h"

#include <QHash>
#include <QWidget>
#include <functional>

class Prompter;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The calculator's window: its keys call the core and show its display; the keyboard types digits,
// + - * /, Enter for "=" and Escape for "AC".
class formcalc : public QWidget
{
    Q_OBJECT
public:
    explicit formcalc(Prompter &prompter, QWidget *parent = nullptr);

    Calculator &calculator() { return m_calc; }
    QPushButton *button(const QString &name) const { return m_buttons.value(name); }

    QLineEdit *txtCalc;
    QRadioButton *optDec, *optHex, *optBin;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPushButton *addKey(const QString &name, const QString &caption, void (formcalc::*action)());
    void press(const std::function<void()> &action);
    void chooseMode(Calculator::Mode mode);
    void refresh();
    void btnCopy_Click();

    Calculator m_calc;
    QHash<QString, QPushButton *> m_buttons;
};
