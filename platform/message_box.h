#pragma once

#include <QString>
#include <exception>
#include <functional>

class QWidget;

// Every message the user sees goes through the functions below, so that
// tests can read them instead of facing a modal window.
enum class MessageKind { Plain, Exception };

// A plain message box with an OK button and the exact text.
void ShowMessage(const QString& text);

// The standard exception message box: the error's message, the application
// title as caption, an error icon.
void ShowExceptionMessage(const QString& text);

// The same boxes without waiting for OK, for what a running task reports:
// no event loop of a box runs inside the code that reported, and the run
// goes on while the box is open. Interceptors see the text at once.
void ShowMessageWithoutWaiting(MessageKind kind, const QString& text);

// While set, messages go to `interceptor` instead of a window.
using MessageInterceptor = std::function<void(MessageKind kind, const QString& text)>;
void InterceptMessages(MessageInterceptor interceptor);

// A question box with Yes and No buttons, titled like the message boxes;
// No is the default button. True for Yes.
bool AskYesNo(const QString& text);

// While set, questions go to `interceptor`, whose result is the answer.
using QuestionInterceptor = std::function<bool(const QString& text)>;
void InterceptQuestions(QuestionInterceptor interceptor);

// Qt cannot carry a C++ exception through its event loop: every event handler
// runs its body through this, which shows an escaping error the way the
// standard exception message box does and lets the event loop go on.
template <typename Body>
void RunGuarded(Body&& body);

// The standard exception message box with the error's text (see ErrorText).
void ShowError(const std::exception_ptr& error);

template <typename Body>
void RunGuarded(Body&& body)
{
    try {
        body();
    } catch (...) {
        ShowError(std::current_exception());
    }
}
