// File lists: sorting by value with ".." first, and the size and date texts they show.
#include "FileListView.h"
#include "ListText.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTreeView>
#include <QTest>

class TestFileListView : public QObject
{
    Q_OBJECT

    static void addRow(FileListView &list, const QString &name, qint64 size, bool parent = false)
    {
        auto *nameItem = new QStandardItem(name);
        nameItem->setData(parent, FileListView::ParentRowRole);
        nameItem->setData("/x/" + name, FileListView::KeyRole);
        auto *sizeItem = new QStandardItem(ListText::sizeText(size));
        sizeItem->setData(size, FileListView::SortRole);
        list.model()->appendRow({nameItem, sizeItem});
    }
    static QStringList names(const FileListView &list)
    {
        QStringList out;
        for (int r = 0; r < list.model()->rowCount(); ++r)
            out << list.model()->item(r, 0)->text();
        return out;
    }

private slots:
    void sortsSizesAsNumbersWithParentFirst()
    {
        FileListView list("ListView1");
        list.setColumns({{"File name", "name", 100}, {"File size (bytes)", "size", 80}});
        addRow(list, "..", 4096, true);
        addRow(list, "big", 5'000'000'000LL);
        addRow(list, "small", 9);
        addRow(list, "mid", 1000);
        list.headerClicked(1);
        QCOMPARE(names(list), QStringList({"..", "small", "mid", "big"}));
        list.headerClicked(1); // the same column again: descending
        QCOMPARE(names(list), QStringList({"..", "big", "mid", "small"}));
        list.headerClicked(0); // another column keeps the order
        QCOMPARE(list.sortOrder(), Qt::DescendingOrder);
        QCOMPARE(names(list), QStringList({"..", "small", "mid", "big"}));
        QCOMPARE(list.rowKey(1), QString("/x/small"));
        QCOMPARE(list.column("size"), 1);
        QCOMPARE(list.column("tsize"), -1);
    }

    // The header's mark always tells the rows' order: none before a click; once sorted, a new
    // listing comes in sorted the same way.
    void theMarkTellsTheOrderAcrossNewListings()
    {
        FileListView list("ListView1");
        list.setColumns({{"File name", "name", 100}, {"File size (bytes)", "size", 80}});
        QHeaderView *header = list.reportView()->header();
        const auto listing = [&list] { // as the panes list: all rows in one reset
            QList<QList<QStandardItem *>> rows;
            for (auto [name, size] : {std::pair{"b", 20}, {"c", 5}, {"a", 30}}) {
                rows.append(QList<QStandardItem *>{new QStandardItem(name), new QStandardItem(QString::number(size))});
                rows.last()[1]->setData(size, FileListView::SortRole);
            }
            list.setRows(rows);
        };
        listing();
        QVERIFY(!header->isSortIndicatorShown());
        QCOMPARE(names(list), QStringList({"b", "c", "a"}));
        list.headerClicked(1);
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        listing();
        QCOMPARE(names(list), QStringList({"c", "b", "a"}));
        list.headerClicked(1);
        listing();
        QCOMPARE(names(list), QStringList({"a", "b", "c"}));
    }

    void sizeAndDateTexts()
    {
        QCOMPARE(ListText::sizeText(0), QString("0"));
        QCOMPARE(ListText::sizeText(999), QString("999"));
        QCOMPARE(ListText::sizeText(4096), QString("4 096"));
        QCOMPARE(ListText::sizeText(1234567), QString("1 234 567"));
        QCOMPARE(ListText::sizeText(5368709120LL), QString("5 368 709 120"));
        QCOMPARE(ListText::dateText(QDateTime()), QString("-"));
        QCOMPARE(ListText::dateText(QDateTime(QDate(2006, 1, 5), QTime(9, 7, 3))), QString("5/1/2006 9:07:03"));
        QCOMPARE(ListText::dateText(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 0))), QString("31/12/2024 23:59:00"));
    }
};

QTEST_MAIN(TestFileListView)
#include "tst_filelistview.moc"
