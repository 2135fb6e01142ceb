#include "formcalc.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

formcalc::formcalc(Prompter &prompter, QWidget *parent) : QWidget(parent, Qt::Window), m_calc(prompter)
{
    setObjectName(QStringLiteral("formcalc"));
    setWindowTitle(QStringLiteral("Vestrigal - Calculator"));
    auto *layout = new QVBoxLayout(this);
    txtCalc = new QLineEdit(this);
    txtCalc->setObjectName(QStringLiteral("txtCalc"));
    txtCalc->setReadOnly(true);
    txtCalc->setAlignment(Qt::AlignRight);
    txtCalc->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(txtCalc);

    auto *modes = new QGroupBox(this);
    auto *modeRow = new QHBoxLayout(modes);
    auto option = [&](const char *name, const char *caption, Calculator::Mode mode) {
        auto *o = new QRadioButton(QString::fromLatin1(caption), modes);
        o->setObjectName(QString::fromLatin1(name));
        o->setFocusPolicy(Qt::NoFocus);
        modeRow->addWidget(o);
        connect(o, &QRadioButton::clicked, this, [this, mode] { chooseMode(mode); });
        return o;
    };
    optDec = option("optDec", "Decimal", Calculator::Decimal);
    optHex = option("optHex", "Hexadecimal", Calculator::Hexadecimal);
    optBin = option("optBin", "Binary", Calculator::Binary);
    layout->addWidget(modes);

    auto *grid = new QGridLayout;
    layout->addLayout(grid);
    auto place = [&](QPushButton *b, int row, int column) { grid->addWidget(b, row, column); };
    const char *digits = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        const QChar d = QLatin1Char(digits[i]);
        const QString name = QStringLiteral("btn") + d.toUpper();
        auto *b = new QPushButton(QString(d.toUpper()), this);
        b->setObjectName(name);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, d] { press([this, d] { m_calc.digit(d); }); });
        m_buttons.insert(name, b);
        if (i == 0)
            place(b, 4, 0);
        else if (i < 10)
            place(b, 3 - (i - 1) / 3, (i - 1) % 3);
        else
            place(b, (i - 10) % 3 + 1, 5 + (i - 10) / 3);
    }
    auto key = [&](const char *name, const char *caption, std::function<void()> action, int row, int column) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, [this, action] { press(action); });
        m_buttons.insert(b->objectName(), b);
        place(b, row, column);
    };
    Calculator &c = m_calc;
    key(
        "btnDec", ",", [&c] { c.decimalSeparator(); }, 4, 1);
    key(
        "btnSign", "+/-", [&c] { c.changeSign(); }, 4, 2);
    key(
        "btnPlus", "+", [&c] { c.operation(Calculator::Plus); }, 1, 3);
    key(
        "btnMinus", "-", [&c] { c.operation(Calculator::Minus); }, 2, 3);
    key(
        "btnTimes", "*", [&c] { c.operation(Calculator::Times); }, 3, 3);
    key(
        "btnDivided", "/", [&c] { c.operation(Calculator::Divide); }, 4, 3);
    key(
        "btnDo", "=", [&c] { c.equals(); }, 4, 4);
    key(
        "btnAc", "AC", [&c] { c.allClear(); }, 0, 0);
    key(
        "btnSqrt", "Sqr", [&c] { c.squareRoot(); }, 0, 1);
    key(
        "btnMset", "SM", [&c] { c.memorySet(); }, 0, 2);
    key(
        "btnMrest", "M+", [&c] { c.memoryRecall(); }, 0, 3);
    key(
        "btnMclr", "CM", [&c] { c.memoryClear(); }, 0, 4);
    key(
        "btnCopy", "Copy", [this] { btnCopy_Click(); }, 1, 4);
    key(
        "btnExit", "Exit", [this] { close(); }, 2, 4);
    refresh();
}

void formcalc::press(const std::function<void()> &action)
{
    action();
    refresh();
}

void formcalc::chooseMode(Calculator::Mode mode)
{
    m_calc.setMode(mode);
    refresh(); // a refused change puts the option back
}

void formcalc::refresh()
{
    txtCalc->setText(m_calc.display());
    optDec->setChecked(m_calc.mode() == Calculator::Decimal);
    optHex->setChecked(m_calc.mode() == Calculator::Hexadecimal);
    optBin->setChecked(m_calc.mode() == Calculator::Binary);
    for (const char d : QByteArrayView("0123456789abcdef"))
        m_buttons.value(QStringLiteral("btn") + QChar::fromLatin1(d).toUpper())
            ->setEnabled(m_calc.keyEnabled(QChar::fromLatin1(d)));
    m_buttons.value(QStringLiteral("btnDec"))->setEnabled(m_calc.decimalSeparatorEnabled());
}

void formcalc::btnCopy_Click()
{
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(txtCalc->text());
}

void formcalc::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const QChar ch = text.size() == 1 ? text.front() : QChar();
    QString name;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Equal:
        name = QStringLiteral("btnDo");
        break;
    case Qt::Key_Escape:
        name = QStringLiteral("btnAc");
        break;
    default:
        if (ch == QLatin1Char('+'))
            name = QStringLiteral("btnPlus");
        else if (ch == QLatin1Char('-'))
            name = QStringLiteral("btnMinus");
        else if (ch == QLatin1Char('*'))
            name = QStringLiteral("btnTimes");
        else if (ch == QLatin1Char('/'))
            name = QStringLiteral("btnDivided");
        else if (ch == QLatin1Char(',') || ch == QLatin1Char('.'))
            name = QStringLiteral("btnDec");
        else if (ch.isDigit() || (ch.toLower() >= QLatin1Char('a') && ch.toLower() <= QLatin1Char('f')))
            name = QStringLiteral("btn") + ch.toUpper();
    }
    QPushButton *b = m_buttons.value(name);
    if (!b) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (b->isEnabled())
        b->click();
    event->accept();
}
