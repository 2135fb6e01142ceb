// Base conversions and the calculator's keys, headless.
#include "Calculator.h"
#include "ScriptedPrompter.h"
#include "numberFunctions.h"

#include <QTest>

using namespace numberFunctions;

class TestCalculator : public QObject
{
    Q_OBJECT

    struct Keys
    {
        ScriptedPrompter prompter;
        Calculator calc{prompter};

        // "7-2=" style: digits, operators, "=", "," and "s" for the sign key.
        Keys &type(const QString &keys)
        {
            for (const QChar k : keys) {
                switch (k.unicode()) {
                case '+':
                    calc.operation(Calculator::Plus);
                    break;
                case '-':
                    calc.operation(Calculator::Minus);
                    break;
                case '*':
                    calc.operation(Calculator::Times);
                    break;
                case '/':
                    calc.operation(Calculator::Divide);
                    break;
                case '=':
                    calc.equals();
                    break;
                case ',':
                    calc.decimalSeparator();
                    break;
                case 's':
                    calc.changeSign();
                    break;
                case ' ':
                    break;
                default:
                    calc.digit(k);
                }
            }
            return *this;
        }
        QStringList messages() const { return prompter.messageTexts(); }
    };

private slots:
    void conversionTable_data()
    {
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString big = "1" + QString(30, '0');
        QTest::newRow("2^30 to binary") << "DecimalToBinary"
                                        << "1073741824" << big;
        QTest::newRow("2^30 back") << "BinaryToDecimal" << big << "1073741824";
        QTest::newRow("2^62 to binary") << "DecimalToBinary"
                                        << "4611686018427387904"
                                        << "1" + QString(62, '0');
        QTest::newRow("255 to hex") << "DecimalToHex"
                                    << "255"
                                    << "ff";
        QTest::newRow("-255 to hex") << "DecimalToHex"
                                     << "-255"
                                     << "-ff";
        QTest::newRow("-ff to decimal") << "HexToDecimal"
                                        << "-ff"
                                        << "-255";
        QTest::newRow("upper-case hex") << "HexToDecimal"
                                        << "FF"
                                        << "255";
        QTest::newRow("zero to binary") << "DecimalToBinary"
                                        << "0"
                                        << "0";
        QTest::newRow("empty to binary") << "DecimalToBinary"
                                         << ""
                                         << "0";
        QTest::newRow("empty to hex") << "BinaryToHex"
                                      << ""
                                      << "0";
        QTest::newRow("minus zero") << "DecimalToHex"
                                    << "-0"
                                    << "0";
        QTest::newRow("leading zeros") << "HexToDecimal"
                                       << "000ff"
                                       << "255";
        QTest::newRow("letters in binary") << "BinaryToDecimal"
                                           << "1a1"
                                           << "5";
        QTest::newRow("letters in binary to hex") << "BinaryToHex"
                                                  << "1x1x"
                                                  << "a";
        QTest::newRow("fraction dropped") << "DecimalToBinary"
                                          << "5,75"
                                          << "101";
        QTest::newRow("hex to binary pads groups") << "HexToBinary"
                                                   << "1f"
                                                   << "11111";
        QTest::newRow("hex to binary negative") << "HexToBinary"
                                                << "-a"
                                                << "-1010";
        QTest::newRow("binary to hex") << "BinaryToHex"
                                       << "-11111111"
                                       << "-ff";
        QTest::newRow("int64 max") << "DecimalToHex"
                                   << "9223372036854775807"
                                   << "7fffffffffffffff";
        QTest::newRow("int64 min") << "DecimalToHex"
                                   << "-9223372036854775808"
                                   << "-8000000000000000";
        QTest::newRow("hex int64 max") << "HexToDecimal"
                                       << "7fffffffffffffff"
                                       << "9223372036854775807";
        QTest::newRow("63 binary ones") << "BinaryToDecimal" << QString(63, '1') << "9223372036854775807";
        QTest::newRow("long hex to binary") << "HexToBinary"
                                            << "ffffffffffffffffff" << QString(72, '1');
    }

    void conversionTable()
    {
        QFETCH(QString, routine);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QString (*f)(const QString &, bool *) = nullptr;
        if (routine == "DecimalToBinary")
            f = DecimalToBinary;
        if (routine == "DecimalToHex")
            f = DecimalToHex;
        if (routine == "BinaryToDecimal")
            f = BinaryToDecimal;
        if (routine == "BinaryToHex")
            f = BinaryToHex;
        if (routine == "HexToDecimal")
            f = HexToDecimal;
        if (routine == "HexToBinary")
            f = HexToBinary;
        bool ok = false;
        QCOMPARE(f(input, &ok), expected);
        QVERIFY(ok);
    }

    void beyondTheSigned64BitRangeIsRefused()
    {
        for (auto [f, input] : {std::pair{&DecimalToHex, QString("9223372036854775808")},
                                std::pair{&DecimalToBinary, QString("-9223372036854775809")},
                                std::pair{&DecimalToBinary, QString("99999999999999999999999")},
                                std::pair{&HexToDecimal, QString("8000000000000000")},
                                std::pair{&BinaryToDecimal, "1" + QString(63, '0')}}) {
            bool ok = true;
            QVERIFY2(f(input, &ok).isNull(), qPrintable(input));
            QVERIFY(!ok);
        }
    }

    void keysOfTheExamples()
    {
        Keys k;
        QCOMPARE(k.calc.display(), QString("0"));
        k.type("7-2=");
        QCOMPARE(k.calc.display(), QString("5"));
        k.type("+3=");
        QCOMPARE(k.calc.display(), QString("8"));

        Keys chained;
        chained.type("2+3*");
        QCOMPARE(chained.calc.display(), QString("6")); // "*" combines 2 and 3 with its own operation
        chained.type("4=");
        QCOMPARE(chained.calc.display(), QString("24"));

        Keys binary;
        QVERIFY(binary.calc.setMode(Calculator::Binary));
        binary.type("101+11=");
        QCOMPARE(binary.calc.display(), QString("1000"));
        QVERIFY(binary.messages().isEmpty());

        Keys fractions;
        fractions.type("7/2=");
        QCOMPARE(fractions.calc.display(), QString("3,5"));
        fractions.type("*2=");
        QCOMPARE(fractions.calc.display(), QString("7"));
    }

    void theThreeMessages()
    {
        Keys divide;
        divide.type("5/0=");
        QCOMPARE(divide.messages(), QStringList{"Cannot divide by zero!"});
        QCOMPARE(divide.prompter.shown.first().icon, Prompter::Icon::Warning);
        QCOMPARE(divide.calc.display(), QString("5")); // the accumulator is left as it was

        Keys first;
        first.type("=");
        QCOMPARE(first.messages(), QStringList{"The operation could not be resolved."});
        QCOMPARE(first.calc.display(), QString("0"));

        Keys hex;
        hex.calc.setMode(Calculator::Hexadecimal);
        hex.type("ff");
        hex.calc.squareRoot();
        QCOMPARE(hex.messages(), QStringList{"Decimal system only!"});
        QCOMPARE(hex.calc.display(), QString("ff"));
    }

    void emptyEntryReadsAsZero()
    {
        Keys k;
        k.type("5+=");
        QCOMPARE(k.calc.display(), QString("5"));
        QVERIFY(k.messages().isEmpty());
        k.calc.allClear();
        k.type("+=");
        QCOMPARE(k.calc.display(), QString("0"));
    }

    void modeChangesConvertTheEntry()
    {
        Keys k;
        k.type("255");
        QVERIFY(k.calc.setMode(Calculator::Hexadecimal));
        QCOMPARE(k.calc.display(), QString("ff"));
        QVERIFY(k.calc.setMode(Calculator::Decimal));
        QCOMPARE(k.calc.display(), QString("255"));
        k.calc.changeSign();
        QVERIFY(k.calc.setMode(Calculator::Hexadecimal));
        QCOMPARE(k.calc.display(), QString("-ff"));
        QVERIFY(k.calc.setMode(Calculator::Binary));
        QCOMPARE(k.calc.display(), QString("-11111111"));

        Keys empty;
        QVERIFY(empty.calc.setMode(Calculator::Binary));
        QCOMPARE(empty.calc.display(), QString("0"));
        QVERIFY(!empty.calc.keyEnabled('2'));
        QVERIFY(!empty.calc.keyEnabled('a'));
        QVERIFY(empty.calc.keyEnabled('1'));
        QVERIFY(!empty.calc.decimalSeparatorEnabled());
        empty.type("12,1"); // disabled keys do nothing
        QCOMPARE(empty.calc.entry(), QString("11"));

        Keys huge;
        huge.type("99999999999999999999");
        QVERIFY(!huge.calc.setMode(Calculator::Hexadecimal));
        QCOMPARE(huge.messages(), QStringList{"The number is too large."});
        QCOMPARE(huge.calc.mode(), Calculator::Decimal);
        QCOMPARE(huge.calc.entry(), QString("99999999999999999999"));
    }

    void hexArithmeticIsExactAcrossTheWholeRange()
    {
        Keys k;
        k.calc.setMode(Calculator::Hexadecimal);
        k.type("7ffffffffffffffe+1=");
        QCOMPARE(k.calc.display(), QString("7fffffffffffffff"));
        QVERIFY(k.messages().isEmpty());
        k.type("+1=");
        QCOMPARE(k.messages(), QStringList{"The number is too large."});
        QCOMPARE(k.calc.accumulator(), QString("7fffffffffffffff")); // nothing changed
        QCOMPARE(k.calc.entry(), QString("1"));
    }

    void squareRootAndMemory()
    {
        Keys k;
        k.type("2,25");
        k.calc.squareRoot();
        QCOMPARE(k.calc.display(), QString("1,5"));
        QCOMPARE(Calculator::readDecimal("2.25"), 2.25L); // the keyboard's "." reads the same
        QCOMPARE(Calculator::readDecimal("12abc"), 12.0L);
        QCOMPARE(Calculator::readDecimal(""), 0.0L);
        QCOMPARE(Calculator::readDecimal("-"), 0.0L);

        k.calc.memorySet();
        QCOMPARE(k.calc.memory(), QString("1,5"));
        k.calc.allClear();
        k.calc.memoryRecall();
        QCOMPARE(k.calc.display(), QString("1,5"));
        k.calc.memoryClear();
        QCOMPARE(k.calc.memory(), QString("0"));
        k.calc.allClear();
        k.calc.memorySet();
        QCOMPARE(k.calc.memory(), QString("0"));

        Keys negative;
        negative.type("4s");
        negative.calc.squareRoot();
        QCOMPARE(negative.messages(), QStringList{"A negative number has no square root."});
        QCOMPARE(negative.calc.display(), QString("-4"));
        // Zero is the edge: it has a root.
        Keys zero;
        zero.type("0");
        zero.calc.squareRoot();
        QVERIFY(zero.messages().isEmpty());
        QCOMPARE(zero.calc.display(), QString("0"));
    }
};

QTEST_GUILESS_MAIN(TestCalculator)
#include "tst_calculator.moc"
