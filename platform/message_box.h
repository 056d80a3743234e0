#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// Every message the user sees goes through these two functions, so that
// tests can read them instead of facing a modal window.
enum class MessageKind { Plain, Exception };

// A plain message box with an OK button and the exact text.
void ShowMessage(const QString& text);

// The standard exception message box: the error's message, the application
// title as caption, an error icon.
void ShowExceptionMessage(const QString& text);

// While set, messages go to `interceptor` instead of a window.
using MessageInterceptor = std::function<void(MessageKind kind, const QString& text)>;
void InterceptMessages(MessageInterceptor interceptor);

// A question with Yes and No buttons; true for Yes. While a question
// interceptor is set, it answers instead of the user.
bool AskYesNo(const QString& text);
void InterceptQuestions(std::function<bool(const QString& text)> interceptor);

// Qt cannot carry a C++ exception through its event loop: every event handler
// runs its body through this, which shows an escaping error the way the
// standard exception message box does and lets the event loop go on.
template <typename Body>
void RunGuarded(Body&& body);

// Shows the exception being handled (call only inside a catch block).
void ShowCurrentException();

template <typename Body>
void RunGuarded(Body&& body)
{
    try {
        body();
    } catch (...) {
        ShowCurrentException();
    }
}
