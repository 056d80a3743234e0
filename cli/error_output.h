#pragma once

#include <QString>

// Messages for the user on stderr, one line each (a message may hold more).
void PrintError(const QString& message);
// Inside a catch block: the message of the exception being handled.
void PrintCurrentException();
