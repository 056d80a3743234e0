#pragma once

#include <QString>

// Folders are passed around as text that ends in the platform's separator,
// the way the task files and the log show them.
QChar FolderSeparator();

// `folder` with the platform's separator appended when it does not end in one
// (an empty text stays empty).
QString WithTrailingSeparator(const QString& folder);

// The folder of the running executable, ending in the separator. The blank
// image, the manual and ini/config.ini are found relative to it.
QString ExecutableFolder();

// Lets tests run the program's logic against a folder of their own.
// An empty text goes back to the real executable's folder.
void OverrideExecutableFolder(const QString& folder);

// A Windows default folder such as "c:\vornhold": on other systems the same
// name under the user's home folder.
QString DefaultUserFolder(const QString& name);

// Creates `folder` (one level: its parent must exist). True when it exists afterwards.
bool CreateFolderOneLevel(const QString& folder);
