#pragma once

#include <QString>
#include <stdexcept>

// An error whose message is meant for the user. Handlers let it travel up to
// their boundary, where it is shown in the standard exception message box.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    QString Message() const { return message_; }

private:
    QString message_;
};
