#include "cli/error_output.h"

#include "platform/app_error.h"

#include <cstdio>
#include <exception>

void PrintError(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    std::fflush(stderr);
}

void PrintCurrentException()
{
    try {
        throw;
    } catch (const AppError& error) {
        PrintError(error.Message());
    } catch (const std::exception& error) {
        PrintError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        PrintError(QStringLiteral("Unknown error."));
    }
}
