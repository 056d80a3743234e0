#include "platform/number_question.h"

#include <QApplication>
#include <QInputDialog>

namespace {
NumberQuestionInterceptor& InterceptorSlot()
{
    static NumberQuestionInterceptor interceptor;
    return interceptor;
}
}

std::optional<double> AskNumber(const QString& text, double value, double lowest, double highest, int decimals)
{
    if (InterceptorSlot())
        return InterceptorSlot()(text, value);
    bool ok = false;
    const double answer = QInputDialog::getDouble(QApplication::activeWindow(), QApplication::applicationDisplayName(),
        text, value, lowest, highest, decimals, &ok);
    return ok ? std::optional(answer) : std::nullopt;
}

void InterceptNumberQuestions(NumberQuestionInterceptor interceptor)
{
    InterceptorSlot() = std::move(interceptor);
}
