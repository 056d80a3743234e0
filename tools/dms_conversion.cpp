#include "tools/dms_conversion.h"

#include "platform/number_text.h"

#include <cmath>

namespace {
// Seconds never make the conversion fail: text that does not begin with a
// number counts as 0.
float SecondsValue(QStringView text)
{
    const LeadingReal seconds = ParseLeadingReal(text);
    return seconds.Result == LeadingReal::Kind::Number ? static_cast<float>(seconds.Value) : 0.0f;
}
}

std::optional<float> DegreesFromDms(QStringView degrees, QStringView minutes, QStringView seconds)
{
    const std::optional<int> wholeDegrees = ParseWholeNumber(degrees);
    const std::optional<int> wholeMinutes = ParseWholeNumber(minutes);
    if (!wholeDegrees || !wholeMinutes)
        return std::nullopt;
    const double sum = double(*wholeDegrees) + double(*wholeMinutes) * (1.0 / 60)
        + (1.0 / 3600) * double(SecondsValue(seconds));
    const float result = static_cast<float>(sum);
    if (!std::isfinite(result))
        return std::nullopt;
    return result;
}

QString DegreesText(float degrees)
{
    return GeneralRealText(static_cast<double>(degrees));
}
