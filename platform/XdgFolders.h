#pragma once

#include <QString>

// The user's base folders as the XDG base directory rules give them: the variable when it holds
// an absolute path, else the default under the home folder. No trailing slash. Any thread.
class XdgFolders {
public:
    // $XDG_CONFIG_HOME, default ~/.config.
    static QString ConfigHome();
    // $XDG_DATA_HOME, default ~/.local/share.
    static QString DataHome();
};
