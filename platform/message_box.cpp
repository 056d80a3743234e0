#include "platform/message_box.h"

#include "platform/app_error.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MessageInterceptor& Interceptor()
{
    static MessageInterceptor interceptor;
    return interceptor;
}

void Show(MessageKind kind, const QString& text)
{
    if (Interceptor()) {
        Interceptor()(kind, text);
        return;
    }
    QMessageBox box(kind == MessageKind::Exception ? QMessageBox::Critical : QMessageBox::NoIcon,
        QApplication::applicationDisplayName(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
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

namespace {
std::function<bool(const QString&)>& QuestionInterceptor()
{
    static std::function<bool(const QString&)> interceptor;
    return interceptor;
}
}

bool AskYesNo(const QString& text)
{
    if (QuestionInterceptor())
        return QuestionInterceptor()(text);
    return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationDisplayName(), text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void InterceptQuestions(std::function<bool(const QString& text)> interceptor)
{
    QuestionInterceptor() = std::move(interceptor);
}

void InterceptMessages(MessageInterceptor interceptor)
{
    Interceptor() = std::move(interceptor);
}

void ShowCurrentException()
{
    try {
        throw;
    } catch (const AppError& error) {
        ShowExceptionMessage(error.Message());
    } catch (const std::exception& error) {
        ShowExceptionMessage(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        // A thrown object that is not an exception shows with an empty message.
        ShowExceptionMessage(QString());
    }
}
