#pragma once

#include <QString>

// Folders are passed around as text that ends in the platform's separator,
// the way the task files and the log show them.
QChar FolderSeparator();

// `folder` with the platform's separator appended when it does not end in one
// (an empty text stays empty).
QString WithTrailingSeparator(const QString& folder);

// The folder of the running executable, ending in the separator. The other
// programs (orvane, quiltry) are found in it.
QString ExecutableFolder();

// The folder holding the files that ship with the program (blankimg/, help/,
// ini/config.ini), ending in the separator: the executable's folder when one
// of them is there (a portable copy or the build folder), otherwise the
// installed share folder (PREFIX/share/tessaly for PREFIX/bin) when it holds
// one of them, otherwise the executable's folder.
QString ShippedFilesFolder();

// True when the shipped files come from the installed share folder: nobody may
// write there, so settings live in the user's configuration folder.
bool IsInstalledLayout();

// $XDG_CONFIG_HOME/tessaly/ (~/.config/tessaly/ when the variable is unset or
// not an absolute path), ending in the separator. Not created here.
QString UserConfigFolder();

// Lets tests run the program's logic against a folder of their own.
// An empty text goes back to the real executable's folder.
void OverrideExecutableFolder(const QString& folder);

// A Windows default folder such as "c:\vornhold": on other systems the same
// name under the user's home folder.
QString DefaultUserFolder(const QString& name);

// Creates `folder` (one level: its parent must exist). True when it exists afterwards.
bool CreateFolderOneLevel(const QString& folder);
