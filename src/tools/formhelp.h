#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The help viewer: the fixed topic tree; a click shows the topic, read again from the help file.
class formhelp : public QWidget
{
    Q_OBJECT
public:
    explicit formhelp(const QString &helpFile, QWidget *parent = nullptr);

    QTreeWidget *tvwHelp;
    QPlainTextEdit *txtHelp;
    QPushButton *btnOk;

    QTreeWidgetItem *node(const QString &key) const;

public slots:
    void tvwHelp_NodeClick(QTreeWidgetItem *node);

protected:
    void keyPressEvent(QKeyEvent *event) override; // Escape closes, as in a dialog

private:
    QString m_helpFile;
};
