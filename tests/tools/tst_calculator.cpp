// Base conversions and the calculator's keys, headless.
#include "Calculator.h"
#include "ScriptedPrompter.h"
#include "numberFunctions.h"

#include <QTest>
#include <functional>

using namespace numberFunctions;

class TestCalculator : public QObject
{
    Q_OBJECT

    struct Keys
    {
        ScriptedPrompter prompter;
        Calculator calc{prompter};

        // Digits and "+-*/=", "," the separator, "s" the sign key, "r" the square root, "z" AC, "m" SM,
        // "M" M+ and "k" CM; "#", "%" and "~" choose hexadecimal, binary and decimal. "|" notes the display.
        QStringList type(const QString &keys)
        {
            using C = Calculator;
            const QHash<QChar, std::function<void()>> actions{
                {'+', [&] { calc.operation(C::Plus); }},      {'-', [&] { calc.operation(C::Minus); }},
                {'*', [&] { calc.operation(C::Times); }},     {'/', [&] { calc.operation(C::Divide); }},
                {'#', [&] { calc.setMode(C::Hexadecimal); }}, {'%', [&] { calc.setMode(C::Binary); }},
                {'~', [&] { calc.setMode(C::Decimal); }},     {'=', [&] { calc.equals(); }},
                {',', [&] { calc.decimalSeparator(); }},      {'s', [&] { calc.changeSign(); }},
                {'r', [&] { calc.squareRoot(); }},            {'z', [&] { calc.allClear(); }},
                {'m', [&] { calc.memorySet(); }},             {'M', [&] { calc.memoryRecall(); }},
                {'k', [&] { calc.memoryClear(); }}};
            QStringList shown;
            for (const QChar k : keys + '|') {
                if (k == '|')
                    shown << calc.display();
                else if (actions.contains(k))
                    actions[k]();
                else
                    calc.digit(k);
            }
            return shown;
        }
    };

private slots:
    // An empty result: the number does not fit the signed 64-bit range and is refused.
    void conversionTable_data()
    {
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString max = "9223372036854775807";
        const auto row = [](const char *name, const char *routine, const QString &input, const QString &expected) {
            QTest::newRow(name) << QString(routine) << input << expected;
        };
        row("2^30 to binary", "DecimalToBinary", "1073741824", "1" + QString(30, '0'));
        row("2^62 to binary", "DecimalToBinary", "4611686018427387904", "1" + QString(62, '0'));
        row("255 to hex", "DecimalToHex", "255", "ff");
        row("-255 to hex", "DecimalToHex", "-255", "-ff");
        row("-ff to decimal", "HexToDecimal", "-ff", "-255");
        row("upper-case hex", "HexToDecimal", "FF", "255");
        row("hex digits 9 and 0", "HexToDecimal", "90", "144");
        row("empty to binary", "DecimalToBinary", "", "0");
        row("empty to hex", "BinaryToHex", "", "0");
        row("minus zero", "DecimalToHex", "-0", "0");
        row("leading zeros", "HexToDecimal", "000ff", "255");
        row("letters in binary", "BinaryToDecimal", "1a1", "5");
        row("letters in binary to hex", "BinaryToHex", "1x1x", "a");
        row("fraction dropped", "DecimalToBinary", "5,75", "101");
        row("hex to binary pads groups", "HexToBinary", "1f", "11111");
        row("hex to binary negative", "HexToBinary", "-a", "-1010");
        row("binary to hex", "BinaryToHex", "-11111111", "-ff");
        row("int64 max", "DecimalToHex", max, "7fffffffffffffff");
        row("int64 min", "DecimalToHex", "-9223372036854775808", "-8000000000000000");
        row("hex int64 max", "HexToDecimal", "7fffffffffffffff", max);
        row("63 binary ones", "BinaryToDecimal", QString(63, '1'), max);
        row("long hex to binary", "HexToBinary", "ffffffffffffffffff", QString(72, '1'));
        row("int64 max + 1", "DecimalToHex", "9223372036854775808", "");
        row("int64 min - 1", "DecimalToBinary", "-9223372036854775809", "");
        row("far beyond", "DecimalToBinary", "99999999999999999999999", "");
        row("hex 2^63", "HexToDecimal", "8000000000000000", "");
        row("binary 2^63", "BinaryToDecimal", "1" + QString(63, '0'), "");
    }
    void conversionTable()
    {
        QFETCH(QString, routine);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QHash<QString, QString (*)(const QString &, bool *)> routines{
            {"DecimalToBinary", DecimalToBinary}, {"DecimalToHex", DecimalToHex}, {"BinaryToDecimal", BinaryToDecimal},
            {"BinaryToHex", BinaryToHex},         {"HexToDecimal", HexToDecimal}, {"HexToBinary", HexToBinary}};
        bool ok = expected.isEmpty();
        QCOMPARE(routines[routine](input, &ok), expected); // a refusal gives a null text
        QCOMPARE(ok, !expected.isEmpty());
    }

    // Results are shown as numbers the calculator reads back: integers in full over the 64-bit
    // range, fractions without an exponent from 10^-18 to 10^15; a change of base reads the whole
    // number or refuses it and stays.
    void keys_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");   // the displays at each "|" and at the end
        QTest::addColumn<QString>("message"); // the last one, if any
        const auto row = [](const char *name, const char *keys, const char *shown, const char *message = "") {
            QTest::newRow(name) << QString(keys) << QString(shown) << QString(message);
        };
        row("carried over", "7-2=|+3=", "5|8");
        row("* combines first", "2+3*|4=", "6|24");
        row("binary", "%101+11=", "1000");
        row("fractions", "7/2=|*2=", "3,5|7");
        row("divide by zero", "5/0=", "5", "Cannot divide by zero!");
        row("= first", "=", "0", "The operation could not be resolved.");
        row("root in hex", "#ffr", "ff", "Decimal system only!");
        row("root", "2,25r", "1,5");
        row("root of a negative", "4sr", "-4", "A negative number has no square root.");
        row("root of 0", "0r", "0");
        row("memory", "2,25rmz|M", "0|1,5");
        row("memory cleared", "2,25rmkzM", "0");
        row("an empty entry to memory is 0", "zmM5", "05");
        row("empty entry", "5+=", "5");
        row("empty entries", "+=", "0");
        row("modes", "255#|~|s#|%", "ff|255|-ff|-11111111");
        row("empty entry in binary", "%|12,1", "0|11");
        row("too large for hex", "99999999999999999999#,", "99999999999999999999,", "The number is too large.");
        row("hex to the largest", "#7ffffffffffffffe+1=|+1=", "7fffffffffffffff|1", "The number is too large.");
        row("past 10^18", "999999999999999999+2=|#|~", "1000000000000000001|de0b6b3a7640001|1000000000000000001");
        row("10^18 as a product", "1000000000*1000000000=|#", "1000000000000000000|de0b6b3a7640000");
        row("the largest", "9223372036854775806+1=|#|~", "9223372036854775807|7fffffffffffffff|9223372036854775807");
        row("the smallest", "1-9223372036854775807-2=|#", "-9223372036854775808|-8000000000000000");
        row("15 digits", "123456789012345,4+0=", "123456789012345");
        row("small fraction", "1/10000000=|#", "0,0000001|0");
        row("fraction", "10/4=|#", "2,5|2");
        row("10^-18", "1/1000000000000000000=|#", "0,000000000000000001|0");
        row("10^-19", "1/10000000000000000000=", "1e-19");
        row("10^-21", "1/1000000000000000000/1000=|#", "1e-21|0");
        row("beyond 64 bits", "9223372036854775807*10=|#", "9,22337203685478e+19|9,22337203685478e+19",
            "The number is too large.");
    }
    void keys()
    {
        QFETCH(QString, keys);
        Keys k;
        QTEST(k.type(keys).join('|'), "shown");
        QTEST(k.prompter.messageTexts().join('|'), "message");
    }

    void reading()
    {
        // The keyboard's "." reads as the separator does.
        for (const auto &[text, value] : {std::pair{"2.25", 2.25L}, {"12abc", 12.0L}, {"", 0.0L}, {"-", 0.0L}})
            QCOMPARE(Calculator::readDecimal(text), value);
    }
};

QTEST_GUILESS_MAIN(TestCalculator)
#include "tst_calculator.moc"
