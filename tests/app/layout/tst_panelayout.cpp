#include "PaneLayout.h"
#include "Twips.h"

#include <QPoint>
#include <QRandomGenerator>
#include <QSize>
#include <QTest>

Q_DECLARE_METATYPE(TwipRect)

// Found by argument-dependent lookup, so it lives beside TwipRect.
char *toString(const TwipRect &r)
{
    return QTest::toString(QStringLiteral("{%1, %2, %3, %4}").arg(r.left).arg(r.top).arg(r.width).arg(r.height));
}

namespace {

using L = PaneLayout;

// A 1280 × 800 screen at 96 dpi.
constexpr int W = 19200;
constexpr int H = 12000;

using Drags = QList<QPoint>; // x: splitter, y: offset

// Drags the splitters in turn; false at the first drag refused.
bool drag(PaneLayout &l, const Drags &drags)
{
    for (const QPoint &m : drags)
        if (!l.moveSplitter(m.x(), m.y()))
            return false;
    return true;
}

// The panes stack without gaps from the log's top to the status bar, left and right of splitter3.
void checkTiles(const PaneLayout &l)
{
    const auto column = {L::RichTextBox1, L::splitter1, L::ListView3, L::splitter2, L::TreeView1,
                         L::txtLocal,     L::splitter5, L::ListView2, L::StatusBar1};
    const auto rightColumn = {L::RichTextBox1, L::splitter1, L::ListView1, L::splitter4, L::TreeView2,
                              L::txtDirectory, L::splitter5, L::ListView2, L::StatusBar1};
    for (const auto &stack : {column, rightColumn}) {
        int y = L::LogTop;
        for (L::Control c : stack) {
            QVERIFY2(l.rect(c).top == y, L::controlName(c));
            y = l.rect(c).bottom();
        }
        QCOMPARE(y, l.height() - 300);
    }
    const TwipRect s3 = l.rect(L::splitter3);
    QCOMPARE(s3.top, l.rect(L::splitter1).bottom());
    QCOMPARE(s3.bottom(), l.rect(L::splitter5).top);
    for (L::Control c : {L::ListView3, L::splitter2, L::TreeView1, L::txtLocal})
        QVERIFY2(l.rect(c).left == 0 && l.rect(c).right() == s3.left, L::controlName(c));
    for (L::Control c : {L::ListView1, L::splitter4, L::TreeView2, L::txtDirectory})
        QVERIFY2(l.rect(c).left == s3.right() && l.rect(c).right() == l.width(), L::controlName(c));
    for (L::Control c : {L::RichTextBox1, L::splitter1, L::splitter5, L::ListView2, L::StatusBar1})
        QVERIFY2(l.rect(c).left == 0 && l.rect(c).width == l.width(), L::controlName(c));
}

void checkSound(const PaneLayout &l)
{
    QVERIFY(l.obeysMoveRules());
    QVERIFY(l.isUsable());
    checkTiles(l);
}

} // namespace

class TestPaneLayout : public QObject
{
    Q_OBJECT

private slots:
    void startOnSmallScreens_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("fromTable");
        QTest::addRow("1280x800 at 96 dpi") << W << H << true;
        QTest::addRow("smallest table height") << 9000 << 6360 << true;
        QTest::addRow("odd sizes") << 9001 << 6361 << true;
        QTest::addRow("one below") << 9000 << 6359 << false;
        QTest::addRow("320x240 at 96 dpi") << 4800 << 3600 << false;
        QTest::addRow("minimum height") << 4800 << L::MinimumHeight << false;
        QTest::addRow("below the minimum") << 30 << 500 << false;
        QTest::addRow("zero") << 0 << 0 << false;
        QTest::addRow("4K at 96 dpi") << 57600 << 32400 << true;
    }

    void startOnSmallScreens()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, fromTable);
        const PaneLayout l = PaneLayout::start(width, height);
        QCOMPARE(l.width(), std::max(width, int(L::MinimumWidth)));
        QCOMPARE(l.height(), std::max(height, int(L::MinimumHeight)));
        checkSound(l);
        QCOMPARE(l.rect(L::splitter1).top == 2520, fromTable);
        QCOMPARE(l.rect(L::RichTextBox1).top, 960);
        for (int n = 1; n <= 5; ++n) {
            PaneLayout moved = l;
            QVERIFY(moved.moveSplitter(n, 0));
            QVERIFY(moved == l);
        }
        if (!fromTable) {
            // The compact layout gives the file lists more room than the log, and every pane some.
            QVERIFY(l.rect(L::ListView3).height >= l.rect(L::RichTextBox1).height);
            QCOMPARE(l.rect(L::splitter2).top, l.rect(L::splitter4).top);
        }
    }

    // One row per limit: the move to it is made, and, where `bounded`, one twip further is refused.
    void moves_data()
    {
        QTest::addColumn<Drags>("before");
        QTest::addColumn<int>("splitter");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("bounded");
        QTest::addColumn<int>("witness"); // -1: the move itself is refused
        QTest::addColumn<TwipRect>("expected");
        using R = TwipRect;
        const Drags none, higherS4{{4, -1000}, {2, 500}}, lowerS2{{2, 1000}};
        const int s1 = L::RichTextBox1, s3 = L::splitter3, s4 = L::splitter4, local = L::txtLocal;
        const int tv1 = L::TreeView1, tv2 = L::TreeView2, lv1 = L::ListView1, lv2 = L::ListView2, lv3 = L::ListView3;
        const int remote = L::txtDirectory;

        QTest::addRow("s1 up to the log's top") << none << 1 << -1560 << true << s1 << R{0, 960, 19200, 0};
        QTest::addRow("s1 down onto s2 and s4") << none << 1 << 3420 << true << lv3 << R{0, 6000, 9570, 0};
        QTest::addRow("s1 stops at the higher s4") << higherS4 << 1 << 2420 << true << lv1 << R{9630, 5000, 9570, 0};
        QTest::addRow("s1 drags splitter3 along") << none << 1 << 1000 << false << s3 << R{9570, 3580, 60, 5420};
        QTest::addRow("s2 up to s1") << none << 2 << -3420 << true << lv3 << R{0, 2580, 9570, 0};
        QTest::addRow("s2 down to the path field") << none << 2 << 2565 << true << tv1 << R{0, 8625, 9570, 0};
        QTest::addRow("s4 up to s1") << none << 4 << -3420 << true << lv1 << R{9630, 2580, 9570, 0};
        QTest::addRow("s4 down to the path field") << none << 4 << 2565 << true << tv2 << R{9630, 8625, 9570, 0};
        QTest::addRow("s3 to the far left") << none << 3 << -9570 << true << local << R{0, 8625, 0, 375};
        QTest::addRow("s3 to W - 60") << none << 3 << 9570 << true << remote << R{19200, 8625, 0, 375};
        QTest::addRow("s3 a little right") << none << 3 << 100 << false << s4 << R{9730, 6000, 9470, 60};
        QTest::addRow("s5 up to 375 below a lower s2") << lowerS2 << 5 << -1565 << true << tv1 << R{0, 7060, 9570, 0};
        QTest::addRow("s5 up keeps the other tree")
            << lowerS2 << 5 << -1565 << false << tv2 << R{9630, 6060, 9570, 1000};
        QTest::addRow("s5 down to the status bar") << none << 5 << 2265 << true << lv2 << R{0, 11325, 19200, 0};
        QTest::addRow("splitter 0") << none << 0 << 0 << false << -1 << R();
        QTest::addRow("splitter 6") << none << 6 << 0 << false << -1 << R();
    }

    void moves()
    {
        QFETCH(Drags, before);
        QFETCH(int, splitter);
        QFETCH(int, offset);
        QFETCH(bool, bounded);
        QFETCH(int, witness);
        QFETCH(TwipRect, expected);

        PaneLayout l = PaneLayout::start(W, H);
        QVERIFY(drag(l, before));
        const PaneLayout old = l;
        if (bounded) {
            PaneLayout further = l;
            QVERIFY(!further.moveSplitter(splitter, offset < 0 ? offset - 1 : offset + 1));
            QVERIFY(further == old);
        }
        QCOMPARE(l.moveSplitter(splitter, offset), witness >= 0);
        if (witness < 0) {
            QVERIFY(l == old);
            return;
        }
        QCOMPARE(l.rect(L::Control(witness)), expected);
        const TwipRect bar = l.rect(L::splitter(splitter));
        const TwipRect oldBar = old.rect(L::splitter(splitter));
        if (splitter == 3)
            QCOMPARE(bar.left, oldBar.left + offset);
        else
            QCOMPARE(bar.top, oldBar.top + offset);
        checkSound(l);
    }

    void resizeKeepsProportions()
    {
        PaneLayout l = PaneLayout::start(W, H);
        QVERIFY(drag(l, {{3, -3000}, {4, 1200}}));
        const PaneLayout old = l;
        l.resize(W * 3 / 4, H * 3 / 4);
        QCOMPARE(QSize(l.width(), l.height()), QSize(W * 3 / 4, H * 3 / 4));
        checkSound(l);
        for (int n : {1, 2, 4, 5}) {
            const double was = double(old.rect(L::splitter(n)).top) / H;
            const double now = double(l.rect(L::splitter(n)).top) / l.height();
            QVERIFY2(qAbs(was - now) < 0.001, qPrintable(QString::number(n)));
        }
        QVERIFY(qAbs(double(l.rect(L::splitter3).left) / l.width() - double(old.rect(L::splitter3).left) / W) < 0.001);
        PaneLayout same = old;
        same.resize(W, H);
        QVERIFY(same == old);
    }

    void resizeToTinyAndBack()
    {
        PaneLayout l = PaneLayout::start(W, H);
        QVERIFY(l.moveSplitter(3, 9570)); // remote side at width 0
        QVERIFY(l.moveSplitter(1, 3420)); // file lists at height 0, so the log must give way
        l.resize(1000, 100);
        QCOMPARE(l.height(), L::MinimumHeight);
        checkSound(l);
        QCOMPARE(l.width() - l.rect(L::splitter3).right(), int(L::MinimumPane)); // the remote side keeps some room
        l.resize(W, H);
        checkSound(l);
    }

    void shrinkAndGrowKeepsTheUsersProportions_data()
    {
        QTest::addColumn<Drags>("moves");
        QTest::addRow("as started") << Drags({});
        QTest::addRow("tall log, narrow left") << Drags({{1, 2000}, {3, -6000}});
        QTest::addRow("short queue, long lists") << Drags({{5, 1500}, {2, 1500}, {4, 1800}});
    }

    // 640 × 400 pixels and back to 1280 × 800: the panes the user set come back as they were, and
    // every pane keeps some room in the small window.
    void shrinkAndGrowKeepsTheUsersProportions()
    {
        QFETCH(Drags, moves);
        PaneLayout l = PaneLayout::start(W, H);
        QVERIFY(drag(l, moves));
        const PaneLayout before = l;
        for (auto [w, h] : {std::pair{9600, 5600}, {4000, 3000}, {9600, 6300}}) {
            l.resize(w, h);
            checkSound(l);
            for (L::Control c : {L::RichTextBox1, L::ListView3, L::ListView1, L::TreeView1, L::TreeView2, L::ListView2})
                QVERIFY2(l.rect(c).height >= L::MinimumPane, L::controlName(c));
            for (L::Control c : {L::ListView3, L::ListView1})
                QVERIFY2(l.rect(c).width >= L::MinimumPane, L::controlName(c));
        }
        l.resize(W, H);
        for (int c = 0; c < L::ControlCount; ++c)
            QCOMPARE(l.rect(L::Control(c)), before.rect(L::Control(c)));
    }

    void randomMovesStayUsable()
    {
        QRandomGenerator random(20240517);
        PaneLayout l = PaneLayout::start(W, H);
        for (int i = 0; i < 20000; ++i) {
            const int n = random.bounded(0, 7);
            const int offset = random.bounded(-l.height() / 3, l.height() / 3);
            const PaneLayout old = l;
            if (i % 997 == 0) {
                l.resize(random.bounded(0, 40000), random.bounded(0, 30000));
            } else if (i % 3 == 0 && n >= 1 && n <= 5) {
                // As far towards the offset as the move rules allow: the layout's edges get exercised.
                int reach = 0;
                for (int step = offset; step != 0; step /= 2) {
                    PaneLayout probe = l;
                    if (probe.moveSplitter(n, reach + step))
                        reach += step;
                }
                QVERIFY(reach == 0 || l.moveSplitter(n, reach));
            } else if (!l.moveSplitter(n, offset)) {
                QVERIFY(l == old);
                continue;
            }
            checkSound(l);
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("after step %1: splitter %2 by %3").arg(i).arg(n).arg(offset)));
        }
    }

    void twipsToPixels()
    {
        namespace T = Twips;
        // 7 and 8 twips at 96 dpi: 0.47 and 0.53 px.
        QCOMPARE(QList<int>({T::toPixels(W, 96), T::toPixels(H, 96), T::toPixels(1440, 144), T::toPixels(7, 96),
                             T::toPixels(8, 96), T::fromPixels(1280, 96), T::fromPixels(10, 0)}),
                 QList<int>({1280, 800, 144, 0, 1, W, 0}));
        // Edges are converted, so controls that touch in twips still touch in pixels at any dpi.
        const PaneLayout l = PaneLayout::start(W, H);
        for (qreal dpi : {96.0, 120.0, 144.0, 168.0}) {
            const QRect log = Twips::toPixels(l.rect(L::RichTextBox1), dpi);
            const QRect bar = Twips::toPixels(l.rect(L::splitter1), dpi);
            const QRect list = Twips::toPixels(l.rect(L::ListView3), dpi);
            const QRect s3 = Twips::toPixels(l.rect(L::splitter3), dpi);
            QCOMPARE(QList<int>({log.bottom() + 1, bar.bottom() + 1, list.right() + 1}),
                     QList<int>({bar.top(), list.top(), s3.left()}));
        }
    }
};

QTEST_GUILESS_MAIN(TestPaneLayout)
#include "tst_panelayout.moc"
