// Every main-window menu item and toolbar button that opens a window opens it, once.
#include "../app/MainWindowFixture.h"

#include <QAction>
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
            {"menu_news", "formnews", "Vestrigal - What's new"},
            {"menu_about", "formabout", "Vestrigal - About Us"},
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
            // Closed, it opens again as a new instance.
            open.first()->close();
            QTRY_VERIFY2(windows(*f.window, QString::fromLatin1(o.window)).isEmpty(), o.trigger);
            fire(*f.window, QString::fromLatin1(o.trigger));
            QCOMPARE(windows(*f.window, QString::fromLatin1(o.window)).size(), 1);
        }
        QVERIFY(f.prompter->shown.isEmpty());
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_toolwindows.moc"
