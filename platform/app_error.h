#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <stdexcept>

// An error whose message is meant for the user. Handlers let it travel up to
// their boundary, where ErrorText turns it into the text the user is shown.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}

    QString Message() const { return message_; }

private:
    QString message_;
};

// The one shape of a refusal: work that was not begun because a check
// failed, with the messages for the user in the order the checks ran, each
// to be shown on its own; none when the user declined a question. Nothing
// has changed when it is raised. Shown as an AppError, the messages are one
// text, a line each.
class Refusal : public AppError {
public:
    explicit Refusal(const QStringList& messages = {}) : AppError(messages.join(u'\n')), messages_(messages) {}

    QStringList Messages() const { return messages_; }

private:
    QStringList messages_;
};

// The user's text for an error that ended some work: an AppError's message,
// another exception's own text, `ifNotAnException` for any other thrown
// object. Every boundary that shows or prints an error goes through this.
QString ErrorText(const std::exception_ptr& error, const QString& ifNotAnException = QString());
