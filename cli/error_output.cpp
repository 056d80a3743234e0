#include "cli/error_output.h"

#include "platform/app_error.h"

#include <cstdio>

void PrintError(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    std::fflush(stderr);
}

void PrintError(const std::exception_ptr& error)
{
    PrintError(ErrorText(error, QStringLiteral("Unknown error.")));
}
