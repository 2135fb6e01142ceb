#include "formhelp.h"

#include "HelpData.h"

#include <QKeyEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace {
constexpr int KeyRole = Qt::UserRole;
}

formhelp::formhelp(const QString &helpFile, QWidget *parent) : QWidget(parent, Qt::Window), m_helpFile(helpFile)
{
    setObjectName(QStringLiteral("formhelp"));
    setWindowTitle(QStringLiteral("Vestrigal - Help"));
    resize(760, 480);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    layout->addLayout(row, 1);

    tvwHelp = new QTreeWidget(this);
    tvwHelp->setObjectName(QStringLiteral("tvwHelp"));
    tvwHelp->setHeaderHidden(true);
    row->addWidget(tvwHelp, 1);
    txtHelp = new QPlainTextEdit(this);
    txtHelp->setObjectName(QStringLiteral("txtHelp"));
    txtHelp->setReadOnly(true);
    row->addWidget(txtHelp, 2);

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    layout->addWidget(btnOk, 0, Qt::AlignRight);
    connect(btnOk, &QPushButton::clicked, this, &QWidget::close);

    const QIcon image = QIcon::fromTheme(QStringLiteral("help-contents"), style()->standardIcon(QStyle::SP_FileIcon));
    QHash<QString, QTreeWidgetItem *> items;
    for (const HelpData::Node &n : HelpData::topicTree()) {
        QTreeWidgetItem *item =
            n.parent.isEmpty() ? new QTreeWidgetItem(tvwHelp) : new QTreeWidgetItem(items.value(n.parent));
        item->setText(0, n.text);
        item->setIcon(0, image);
        item->setData(0, KeyRole, n.key);
        items.insert(n.key, item);
    }
    items.value(QStringLiteral("h1"))->setExpanded(true);
    connect(tvwHelp, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { tvwHelp_NodeClick(item); });
}

QTreeWidgetItem *formhelp::node(const QString &key) const
{
    QTreeWidgetItemIterator it(tvwHelp);
    for (; *it; ++it)
        if ((*it)->data(0, KeyRole).toString() == key)
            return *it;
    return nullptr;
}

void formhelp::tvwHelp_NodeClick(QTreeWidgetItem *item)
{
    if (!item)
        return;
    const int number = HelpData::topicNumber(item->data(0, KeyRole).toString());
    txtHelp->setPlainText(HelpData::readTopic(m_helpFile, number).text);
}

void formhelp::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}
