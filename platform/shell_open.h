#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The shell's "open" action: a web or mailto address goes to the user's
// browser or mail program, an executable file starts as a detached process,
// any other file opens in the program the desktop associates with it.
// False when the file or program is missing or the program could not be
// started; callers that must say so check it. `arguments` go to a started
// program only.
bool ShellOpen(const QString& target, const QStringList& arguments = {});

// While set, targets go to `interceptor` instead of the desktop (and count as opened).
void InterceptShellOpen(std::function<void(const QString& target, const QStringList& arguments)> interceptor);
