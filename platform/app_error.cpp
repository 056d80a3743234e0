#include "platform/app_error.h"

QString ErrorText(const std::exception_ptr& error, const QString& ifNotAnException)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError& appError) {
        return appError.Message();
    } catch (const std::exception& other) {
        return QString::fromLocal8Bit(other.what());
    } catch (...) {
        return ifNotAnException;
    }
}
