#pragma once

#include <QString>

// The built-in window a double-clicked remote file opens in, chosen by its extension in lower case.
enum class RemoteFileWindow {
    None,        // any other file: nothing happens
    ImageViewer, // formimage
    TextEditor,  // formascii
};

RemoteFileWindow remoteFileWindowFor(const QString &fileName);
