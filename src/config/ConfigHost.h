#pragma once

#include <QtGlobal>

class Prompter;
struct Settings;

// What the configuration window needs of the main window: the one settings record, the Logs
// menu's format marks, and the prompter.
class ConfigHost
{
public:
    virtual ~ConfigHost() = default;

    virtual Settings &settings() = 0;
    // Stores the log format and checks the Logs menu's RTF or Text item to match.
    virtual void setLogFormat(qint16 format) = 0;
    virtual Prompter &prompter() = 0;
};
