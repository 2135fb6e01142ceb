#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class Prompter;
class formcalc;
class formhelp;
class formhttp;
class formtemp;
class QWidget;

// The tool windows of the main window, one instance each: showing an open one brings it back.
// They reach the main window only through what is given here.
class ToolWindows : public QObject
{
    Q_OBJECT
public:
    struct Context
    {
        QString tempFolder;
        QString helpFile;
        Prompter *prompter = nullptr;
    };

    ToolWindows(const Context &context, QWidget *owner);

    formtemp *temp() const;
    formcalc *calc() const;
    formhelp *help() const;
    formhttp *http() const;

public slots:
    void showTemp();
    void showCalc();
    void showHelp();
    void showHttp();

private:
    template <class Window, class Make> void bringUp(QPointer<Window> &window, Make make);

    Context m_context;
    QWidget *m_owner;
    QPointer<formtemp> m_temp;
    QPointer<formcalc> m_calc;
    QPointer<formhelp> m_help;
    QPointer<formhttp> m_http;
};
