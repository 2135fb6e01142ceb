#pragma once

#include <QString>

class Prompter;

// The calculator's keys and state, without its window. Numbers are texts in the base shown; the
// arithmetic is done in decimal floating point (exact for every 64-bit integer), converting from
// and to the current base with numberFunctions. Messages go through the prompter.
class Calculator
{
public:
    enum Mode : quint8 { Decimal = 1, Hexadecimal = 2, Binary = 3 };
    enum Operation : quint8 { NoOperation = 0, Plus = 1, Minus = 2, Times = 3, Divide = 4 };

    explicit Calculator(Prompter &prompter) : m_prompter(prompter) {}

    // '0'-'9' and 'a'-'f' (either case); a key not enabled in the current mode does nothing.
    void digit(QChar key);
    void decimalSeparator();
    void changeSign();
    void allClear();
    void operation(Operation op);
    void equals();
    void squareRoot();
    void memorySet();
    void memoryRecall();
    void memoryClear();
    // False (and a message) when the entry does not fit the new base: nothing changes then.
    bool setMode(Mode mode);

    bool keyEnabled(QChar key) const;
    bool decimalSeparatorEnabled() const { return m_mode == Decimal; }

    QString display() const { return m_display; }
    QString entry() const { return m_entry; }
    QString accumulator() const { return m_accumulator; }
    QString memory() const { return m_memory; }
    Mode mode() const { return m_mode; }
    Operation pending() const { return m_pending; }

    // The number at the start of a text: an optional "-", digits, an optional "," or "." and
    // digits, an optional exponent; 0 when there is none.
    static long double readDecimal(const QString &text);
    // As the entry writes numbers, "," as the decimal separator: whole numbers of the 64-bit range
    // in full, others with 15 significant digits and an exponent only beyond 10^-18 to 10^15.
    static QString writeDecimal(long double value);

private:
    bool toDecimal(const QString &text, long double &value);
    bool fromDecimal(long double value, QString &text);
    bool fromDecimal(long double value, Mode mode, QString &text);
    bool compute(Operation op, long double a, long double b, long double &result);
    void tooLarge();

    Prompter &m_prompter;
    QString m_display = QStringLiteral("0");
    QString m_entry;
    QString m_accumulator = QStringLiteral("0");
    QString m_memory;
    Mode m_mode = Decimal;
    Operation m_pending = NoOperation;
};
