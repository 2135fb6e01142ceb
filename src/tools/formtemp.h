#pragma once

#include <QMainWindow>

class FileIconCache;
class QAction;
class QLabel;
class QMenu;
class QStandardItemModel;
class QTreeView;

// The temporary files browser: the files of the program's temp folder with their sizes, types and
// creation times; refresh, delete the selected files, or empty the folder (its subfolders stay).
class formtemp : public QMainWindow
{
    Q_OBJECT
public:
    explicit formtemp(const QString &tempFolder, QWidget *parent = nullptr);
    ~formtemp() override;

    QTreeView *ListView1;
    QStandardItemModel *rows;
    QLabel *lblInfo;
    QMenu *menu_file, *popup;
    QAction *menu_refresh, *menu_delete, *menu_clear, *menu_exit;
    QAction *menu1_refresh, *menu1_delete, *menu1_clear;

    QString statusText() const;
    QStringList selectedPaths() const;

public slots:
    void menu_refresh_Click();
    void menu_delete_Click();
    void menu_clear_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override; // Escape closes, as in a dialog
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void sizeColumns();

    QString m_folder;
    std::unique_ptr<FileIconCache> m_icons;
};
