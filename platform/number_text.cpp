#include "platform/number_text.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <string>

namespace {
constexpr int kSignificantDigits = 15;

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

int HexDigitValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// Length of the hexadecimal prefix at `text`, or 0 when there is none.
qsizetype HexPrefixLength(QStringView text)
{
    if (text.startsWith(u'$') || text.startsWith(u'x') || text.startsWith(u'X'))
        return 1;
    if (text.startsWith(u"0x") || text.startsWith(u"0X"))
        return 2;
    return 0;
}
}

QString GeneralRealText(double value)
{
    if (value == 0 || !std::isfinite(value))
        return value == 0 ? QStringLiteral("0") : QString::number(value);

    // Scientific with 14 decimals rounds to 15 significant digits and tells
    // the decimal exponent after rounding: "-1.23450000000000e+02". to_chars,
    // unlike printf, ignores the C locale, which Qt sets from the environment.
    char buffer[64];
    const auto formatted = std::to_chars(
        buffer, buffer + sizeof buffer, value, std::chars_format::scientific, kSignificantDigits - 1);
    const std::string text(buffer, formatted.ptr);
    const bool negative = text[0] == '-';
    const std::size_t ePos = text.find('e');
    const int exponent = std::stoi(text.substr(ePos + 1));
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i)
        if (text[i] != '.')
            digits += text[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const QString separator = QLocale().decimalPoint();
    QString result = negative ? QStringLiteral("-") : QString();
    if (exponent < -5 || exponent >= kSignificantDigits) {
        result += QChar(digits[0]);
        if (digits.size() > 1)
            result += separator + QString::fromStdString(digits.substr(1));
        return result + u'E' + QString::number(exponent);
    }
    if (exponent < 0) {
        result += u'0' + separator + QString(-exponent - 1, u'0');
        return result + QString::fromStdString(digits);
    }
    const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits)
        return result + QString::fromStdString(digits) + QString(integerDigits - digits.size(), u'0');
    return result + QString::fromStdString(digits.substr(0, integerDigits)) + separator
        + QString::fromStdString(digits.substr(integerDigits));
}

std::optional<int> ParseWholeNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    const qsizetype prefix = HexPrefixLength(text.mid(i));
    if (prefix > 0) {
        i += prefix;
        const qsizetype first = i;
        quint32 pattern = 0;
        for (; i < text.size() && HexDigitValue(text[i]) >= 0; ++i)
            pattern = pattern * 16 + static_cast<quint32>(HexDigitValue(text[i]));
        const qsizetype count = i - first;
        if (count == 0 || count > 8 || i != text.size())
            return std::nullopt;
        const int value = static_cast<int>(pattern);
        return negative ? static_cast<int>(0u - pattern) : value;
    }

    const qsizetype first = i;
    qint64 magnitude = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > qint64(1) << 31)
            return std::nullopt;
    }
    if (i == first || i != text.size())
        return std::nullopt;
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX || value < INT32_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

LeadingReal ParseLeadingReal(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    std::string number;
    auto isDigit = [&](qsizetype at) { return at < text.size() && text[at] >= u'0' && text[at] <= u'9'; };

    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            number += '-';
        ++i;
    }
    int mantissaDigits = 0;
    for (; isDigit(i); ++i, ++mantissaDigits)
        number += static_cast<char>(text[i].unicode());
    if (i < text.size() && text[i] == u'.') {
        std::string fraction = ".";
        qsizetype j = i + 1;
        for (; isDigit(j); ++j, ++mantissaDigits)
            fraction += static_cast<char>(text[j].unicode());
        if (mantissaDigits > 0) {
            number += fraction;
            i = j;
        }
    }
    if (mantissaDigits == 0)
        return {};
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
            exponent += static_cast<char>(text[j++].unicode());
        if (isDigit(j)) {
            for (; isDigit(j); ++j)
                exponent += static_cast<char>(text[j].unicode());
            number += exponent;
        }
    }

    LeadingReal result;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), result.Value);
    result.Result = error == std::errc() ? LeadingReal::Kind::Number : LeadingReal::Kind::OutOfRange;
    (void)end;
    return result;
}

QString LocalDateTimeText(const QDateTime& when)
{
    const QLocale locale;
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    // Windows' long time has no time-zone name; drop Qt's "t" outside quotes.
    QString withoutZone;
    bool quoted = false;
    for (QChar c : timeFormat) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            withoutZone += c;
    }
    return locale.toString(when.date(), QLocale::ShortFormat) + u' '
        + locale.toString(when.time(), withoutZone.trimmed());
}

std::optional<double> ReadAreaNumber(const QString& text)
{
    QString withPoint = text;
    withPoint.replace(u',', u'.');
    const LeadingReal number = ParseLeadingReal(withPoint);
    if (number.Result != LeadingReal::Kind::Number)
        return std::nullopt;
    return number.Value;
}
