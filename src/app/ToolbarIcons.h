#pragma once

#include <QIcon>

// The queue's toolbar pictures, drawn in colour: the desktop's symbolic ones are grey and look
// disabled even when they work. Qt derives the greyed look of a disabled button from them.
namespace ToolbarIcons {
// "play", "pause" or "stop"; a null icon for any other key.
QIcon queueIcon(const QString &key, int size);
}
