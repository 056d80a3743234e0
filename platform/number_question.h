#pragma once

#include <QString>
#include <functional>
#include <optional>

// A question for a number, titled like the message boxes: `value` proposed,
// `lowest`..`highest` with `decimals` digits after the point. Nothing when
// the user cancels.
std::optional<double> AskNumber(const QString& text, double value, double lowest, double highest, int decimals);

// While set, number questions go to `interceptor`, whose result is the answer.
using NumberQuestionInterceptor = std::function<std::optional<double>(const QString& text, double value)>;
void InterceptNumberQuestions(NumberQuestionInterceptor interceptor);
