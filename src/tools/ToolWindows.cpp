#include "ToolWindows.h"

#include "formcalc.h"
#include "formhelp.h"
#include "formhttp.h"
#include "formtemp.h"

#include <QWidget>

ToolWindows::ToolWindows(const Context &context, QWidget *owner) : QObject(owner), m_context(context), m_owner(owner) {}

formtemp *ToolWindows::temp() const
{
    return m_temp;
}

formcalc *ToolWindows::calc() const
{
    return m_calc;
}

formhelp *ToolWindows::help() const
{
    return m_help;
}

formhttp *ToolWindows::http() const
{
    return m_http;
}

template <class Window, class Make> void ToolWindows::bringUp(QPointer<Window> &window, Make make)
{
    if (!window) {
        window = make();
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void ToolWindows::showTemp()
{
    bringUp(m_temp, [this] { return new formtemp(m_context.tempFolder, m_owner); });
}

void ToolWindows::showCalc()
{
    bringUp(m_calc, [this] { return new formcalc(*m_context.prompter, m_owner); });
}

void ToolWindows::showHelp()
{
    bringUp(m_help, [this] { return new formhelp(m_context.helpFile, m_owner); });
}

void ToolWindows::showHttp()
{
    bringUp(m_http, [this] { return new formhttp(*m_context.prompter, m_owner); });
}
