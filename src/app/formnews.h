#pragma once

#include <QDialog>

// "What's new" in this release.
class formnews : public QDialog
{
    Q_OBJECT
public:
    explicit formnews(QWidget *parent = nullptr);
};
