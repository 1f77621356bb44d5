#pragma once
// Where the game keeps the player's files, by the XDG base-directory rules:
// settings under $XDG_CONFIG_HOME, records under $XDG_DATA_HOME; screenshots
// in the player's pictures folder, as the desktop's user folders name it.
#include <string>

/// The player's configuration and data folders. Each call reads the
/// environment afresh, so nothing is cached between a test's setenv calls.
class UserFolders {
public:
    /// $XDG_CONFIG_HOME/vantrel, or ~/.config/vantrel when the variable is
    /// unset, empty or relative (the rules say to ignore such a value).
    /// Empty when no home folder can be found either.
    static std::string ConfigFolder();
    /// $XDG_DATA_HOME/vantrel, or ~/.local/share/vantrel, as ConfigFolder.
    static std::string DataFolder();
    /// The Vantrel folder in the player's pictures folder: the one
    /// `xdg-user-dir PICTURES` names when that program is on the PATH and
    /// answers an absolute path other than the home folder itself (its answer
    /// when none is set), else ~/Pictures. Empty without a home folder.
    /// NOTE: runs the program and waits for it; keep it off the frame loop.
    static std::string PicturesFolder();

    /// $HOME, or the password database's entry for this user when HOME is
    /// unset or empty; empty when neither has one.
    static std::string HomeFolder();

    /// Makes `folder` and each missing parent with mode 0700; folders that
    /// exist are left as they are.
    /// @param error set to "<folder>: <errno text>" on failure
    /// @return true when `folder` exists as a folder afterwards
    static bool MakeFolder(const std::string& folder, std::string& error);
};
