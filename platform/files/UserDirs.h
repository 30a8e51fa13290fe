// The folders a desktop user expects files in: the configuration home and the pictures
// folder, as the XDG base-directory and user-dirs conventions name them.
#pragma once

#include <string>

namespace outpath {

// The user's home folder: $HOME, else the password database's; empty when neither says.
std::string HomeFolder();

// $XDG_CONFIG_HOME when it is an absolute path (a relative one is ignored, as the
// convention says), else ~/.config. Empty without a home.
std::string ConfigHome();

// The user's pictures folder as `xdg-user-dir PICTURES` tells it: XDG_PICTURES_DIR in
// CONFIG_HOME/user-dirs.dirs ("$HOME/..." or an absolute path, shell-quoted), else
// ~/Pictures. Empty without a home.
std::string PicturesFolder();

// The value of XDG_<NAME>_DIR in the text of a user-dirs.dirs file, `home` put for $HOME;
// empty when the file does not set it or sets it in a form the convention does not allow.
std::string UserDirFromText(const std::string& text, const std::string& name, const std::string& home);

// Makes `folder` and any missing folder above it (with `mode`, less the umask); true when
// it is a folder now. False with "cannot make the folder X: why" or "X is not a folder".
bool MakeFolders(const std::string& folder, std::string& reason, unsigned mode = 0777);

} // namespace outpath
