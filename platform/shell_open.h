#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The shell's "open" action: a web or mailto address goes to the user's
// browser or mail program, an executable file starts as a detached process,
// any other file opens in the program the desktop associates with it.
// A missing file or program reports nothing. `arguments` go to a started
// program only.
void ShellOpen(const QString& target, const QStringList& arguments = {});

// While set, targets go to `interceptor` instead of the desktop.
void InterceptShellOpen(std::function<void(const QString& target, const QStringList& arguments)> interceptor);
