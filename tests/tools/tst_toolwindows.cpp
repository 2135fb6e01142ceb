// Every main-window menu item and toolbar button that opens a window opens it, once.
#include "../app/MainWindowFixture.h"

#include "formcalc.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>

class TestToolWindows : public QObject
{
    Q_OBJECT

    struct Opener
    {
        const char *trigger; // a menu item's name, or "toolbar:" and a button's key
        const char *window;  // the objectName of the window it opens
        const char *title;
    };

    static QList<Opener> openers()
    {
        // One line per window command.
        return {
            {"menu_temp", "formtemp", "Vestrigal - Temp files browser"},
            {"toolbar:temp", "formtemp", "Vestrigal - Temp files browser"},
            {"menu_calc", "formcalc", "Vestrigal - Calculator"},
            {"toolbar:calc", "formcalc", "Vestrigal - Calculator"},
            {"menu_gohelp", "formhelp", "Vestrigal - Help"},
            {"toolbar:help", "formhelp", "Vestrigal - Help"},
            {"menu_http", "formhttp", "Vestrigal - HTTP download manager"},
            {"menu_news", "formnews", "Vestrigal - What's new"},
            {"menu_about", "formabout", "Vestrigal - About Us"},
            {"menu_connect", "formprofiles", "Vestrigal - FTP Profiles"},
            {"toolbar:profiles", "formprofiles", "Vestrigal - FTP Profiles"},
            {"menu_config", "formconfig", "Vestrigal - Configuration"},
            {"toolbar:config", "formconfig", "Vestrigal - Configuration"},
        };
    }

    static void fire(formmain &window, const QString &trigger)
    {
        if (trigger.startsWith("toolbar:")) {
            QAction *a = window.Toolbar1->findChild<QAction *>(trigger.mid(8));
            QVERIFY2(a, qPrintable(trigger));
            auto *button = qobject_cast<QToolButton *>(window.Toolbar1->widgetForAction(a));
            QVERIFY(button);
            button->click();
        } else {
            QAction *a = window.action(trigger);
            QVERIFY2(a, qPrintable(trigger));
            a->trigger();
        }
    }

    static QList<QWidget *> windows(formmain &main, const QString &name)
    {
        QList<QWidget *> found;
        for (QWidget *w : main.findChildren<QWidget *>(name))
            if (w->isWindow())
                found << w;
        return found;
    }

private slots:
    void everyCommandOpensItsWindowOnce()
    {
        MainWindowFixture f;
        f.window->show();
        for (const Opener &o : openers()) {
            fire(*f.window, QString::fromLatin1(o.trigger));
            fire(*f.window, QString::fromLatin1(o.trigger));
            const QList<QWidget *> open = windows(*f.window, QString::fromLatin1(o.window));
            QVERIFY2(open.size() == 1, o.trigger);
            QVERIFY2(open.first()->isVisible(), o.trigger);
            QCOMPARE(open.first()->windowTitle(), QString::fromLatin1(o.title));
            // Closed, it opens again as a new instance. Escape closes the small browsers.
            const QByteArray name(o.window);
            if (name == "formtemp" || name == "formhelp")
                QTest::keyClick(open.first(), Qt::Key_Escape);
            else
                open.first()->close();
            QTRY_VERIFY2(windows(*f.window, QString::fromLatin1(o.window)).isEmpty(), o.trigger);
            fire(*f.window, QString::fromLatin1(o.trigger));
            QCOMPARE(windows(*f.window, QString::fromLatin1(o.window)).size(), 1);
        }
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void calculatorWindowKeysAndKeyboard()
    {
        ScriptedPrompter prompter;
        formcalc calc(prompter);
        calc.show();
        QCOMPARE(calc.txtCalc->text(), QString("0"));
        QVERIFY(calc.optDec->isChecked());
        QVERIFY(!calc.button("btnA")->isEnabled());
        QTest::keyClicks(&calc, "7-2");
        QTest::keyClick(&calc, Qt::Key_Return);
        QCOMPARE(calc.txtCalc->text(), QString("5"));
        calc.button("btnPlus")->click();
        calc.button("btn3")->click();
        calc.button("btnDo")->click();
        QCOMPARE(calc.txtCalc->text(), QString("8"));
        calc.button("btnCopy")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("8"));
        QTest::keyClick(&calc, Qt::Key_Escape);
        QVERIFY(calc.isVisible()); // Escape is "AC", not close
        QCOMPARE(calc.txtCalc->text(), QString("0"));

        QTest::keyClicks(&calc, "255");
        calc.optHex->click();
        QCOMPARE(calc.txtCalc->text(), QString("ff"));
        QVERIFY(calc.button("btnF")->isEnabled());
        QVERIFY(!calc.button("btnDec")->isEnabled());
        calc.optBin->click();
        QCOMPARE(calc.txtCalc->text(), QString("11111111"));
        QVERIFY(!calc.button("btn2")->isEnabled());
        QTest::keyClicks(&calc, "2a"); // keys of other bases do nothing
        QCOMPARE(calc.txtCalc->text(), QString("11111111"));
        calc.button("btnSqrt")->click();
        QCOMPARE(prompter.messageTexts(), QStringList{"Decimal system only!"});
        calc.button("btnExit")->click();
        QVERIFY(!calc.isVisible());
    }

    // Results are shown as numbers the calculator reads back: integers in full over the 64-bit
    // range, fractions without an exponent; a change of base reads the whole number or refuses it.
    void calculatorResultsReadBackTheSame_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("hex"); // the display after choosing Hexadecimal
        QTest::newRow("past 10^18") << "999999999999999999+2" << "1000000000000000001" << "de0b6b3a7640001";
        QTest::newRow("10^18 as a product") << "1000000000*1000000000" << "1000000000000000000" << "de0b6b3a7640000";
        QTest::newRow("the largest") << "9223372036854775806+1" << "9223372036854775807" << "7fffffffffffffff";
        QTest::newRow("the smallest") << "1-9223372036854775807-2" << "-9223372036854775808" << "-8000000000000000";
        QTest::newRow("small fraction") << "1/10000000" << "0,0000001" << "0";
        QTest::newRow("fraction") << "10/4" << "2,5" << "2";
        QTest::newRow("tiny") << "1/1000000000000000000" << "0,000000000000000001" << "0";
        QTest::newRow("tinier") << "1/1000000000000000000/1000" << "1e-21" << "0";
        QTest::newRow("beyond 64 bits") << "9223372036854775807*10" << "9,22337203685478e+19" << "";
    }
    void calculatorResultsReadBackTheSame()
    {
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(QString, hex);
        ScriptedPrompter prompter;
        formcalc calc(prompter);
        QTest::keyClicks(&calc, keys);
        QTest::keyClick(&calc, Qt::Key_Return);
        QCOMPARE(calc.txtCalc->text(), shown);
        calc.optHex->click();
        QCOMPARE(calc.txtCalc->text(), hex.isEmpty() ? shown : hex);
        QCOMPARE(calc.optHex->isChecked(), !hex.isEmpty());
        QCOMPARE(prompter.messageTexts(), hex.isEmpty() ? QStringList{"The number is too large."} : QStringList());
        calc.optDec->click();
        if (!hex.isEmpty() && hex != "0" && !shown.contains(','))
            QCOMPARE(calc.txtCalc->text(), shown); // an integer comes back the same
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_toolwindows.moc"
