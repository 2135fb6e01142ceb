#pragma once

#include "ConfigChecks.h"

#include <QDialog>

class ConfigHost;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeView;
class QTreeWidget;

// The configuration window: transfer types and block sizes, the ASCII extension list, the log
// settings. It edits what its controls show and stores everything at once on OK.
class formconfig : public QDialog
{
    Q_OBJECT
public:
    explicit formconfig(ConfigHost &host, QWidget *parent = nullptr);

    // The controls as values, as OK reads them.
    ConfigForm form() const;

    QTabWidget *tab1;
    QGroupBox *frmTransfers, *frmTypes, *frmLogs;
    QRadioButton *optDAscii, *optDBinary, *optDAuto, *optUAscii, *optUBinary, *optUAuto;
    QLineEdit *txtDown, *txtUp, *txtSimultaneous, *txtRetries;
    QComboBox *cboExists;
    QTreeWidget *lvwExtensions;
    QLineEdit *txtAdd;
    QPushButton *btnAdd, *btnRemove;
    QRadioButton *optLog, *optNolog, *optTxt, *optRtf;
    QLineEdit *txtLog;
    QComboBox *Drive1;
    QTreeView *Dir1;
    QPushButton *btnOK, *btnCancel;

public slots:
    void btnAdd_Click();
    void btnRemove_Click();
    void btnOK_Click();
    void btnCancel_Click();
    void Drive1_Change();
    void Dir1_Click();
    void txtLog_KeyUp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *createTransfers();
    QWidget *createTypes();
    QWidget *createLogs();
    void addExtensionRow(const QString &extension);
    void setLogControlsEnabled(bool enabled);
    void showInChooser(const QString &path);
    void load();

    ConfigHost &m_host;
    QFileSystemModel *m_folders = nullptr;
};
