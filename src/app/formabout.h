#pragma once

#include <QDialog>

// About the program and the libraries it runs on.
class formabout : public QDialog
{
    Q_OBJECT
public:
    explicit formabout(QWidget *parent = nullptr);
};
