#pragma once

#include <QString>
#include <exception>

// Messages for the user on stderr, one line each (a message may hold more).
void PrintError(const QString& message);
// The text of an error that ended the command (see ErrorText).
void PrintError(const std::exception_ptr& error);
