#include "platform/message_box.h"

#include "platform/app_error.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

namespace {
MessageInterceptor& Interceptor()
{
    static MessageInterceptor interceptor;
    return interceptor;
}

QuestionInterceptor& QuestionInterceptorSlot()
{
    static QuestionInterceptor interceptor;
    return interceptor;
}

QMessageBox* MakeBox(MessageKind kind, const QString& text)
{
    return new QMessageBox(kind == MessageKind::Exception ? QMessageBox::Critical : QMessageBox::NoIcon,
        QApplication::applicationDisplayName(), text, QMessageBox::Ok, QApplication::activeWindow());
}

void Show(MessageKind kind, const QString& text)
{
    if (Interceptor()) {
        Interceptor()(kind, text);
        return;
    }
    const std::unique_ptr<QMessageBox> box(MakeBox(kind, text));
    box->exec();
}
}

void ShowMessage(const QString& text)
{
    Show(MessageKind::Plain, text);
}

void ShowExceptionMessage(const QString& text)
{
    Show(MessageKind::Exception, text);
}

void ShowMessageWithoutWaiting(MessageKind kind, const QString& text)
{
    if (Interceptor()) {
        Interceptor()(kind, text);
        return;
    }
    QMessageBox* box = MakeBox(kind, text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void InterceptMessages(MessageInterceptor interceptor)
{
    Interceptor() = std::move(interceptor);
}

bool AskYesNo(const QString& text)
{
    if (QuestionInterceptorSlot())
        return QuestionInterceptorSlot()(text);
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
        QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void InterceptQuestions(QuestionInterceptor interceptor)
{
    QuestionInterceptorSlot() = std::move(interceptor);
}

void ShowError(const std::exception_ptr& error)
{
    // A thrown object that is not an exception shows with an empty message.
    ShowExceptionMessage(ErrorText(error));
}
