#include "platform/number_text.h"

#include <QLocale>
#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {
// Restores the test locale after a case that switches it.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};
}

TEST(GeneralRealText, FixedNotationWithFifteenSignificantDigits)
{
    EXPECT_EQ(GeneralRealText(116.5), "116.5");
    EXPECT_EQ(GeneralRealText(-0.5), "-0.5");
    EXPECT_EQ(GeneralRealText(0), "0");
    EXPECT_EQ(GeneralRealText(-0.0), "0");
    EXPECT_EQ(GeneralRealText(100), "100");
    EXPECT_EQ(GeneralRealText(115.6640625), "115.6640625");
    EXPECT_EQ(GeneralRealText(40.17887331434696), "40.178873314347");
    EXPECT_EQ(GeneralRealText(-179.99862670898438), "-179.998626708984");
    EXPECT_EQ(GeneralRealText(0.00001), "0.00001");
    EXPECT_EQ(GeneralRealText(123456789012345.0), "123456789012345");
}

TEST(GeneralRealText, ScientificBelowOneHundredThousandthAndAboveFifteenIntegerDigits)
{
    EXPECT_EQ(GeneralRealText(1e-6), "1E-6");
    EXPECT_EQ(GeneralRealText(-1.5e-7), "-1.5E-7");
    EXPECT_EQ(GeneralRealText(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(GeneralRealText(1e20), "1E20");
}

TEST(GeneralRealText, UsesTheRegionalDecimalSeparator)
{
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(GeneralRealText(116.5), "116,5");
    EXPECT_EQ(GeneralRealText(-1.5e-7), "-1,5E-7");
}

TEST(ParseWholeNumber, DecimalWithSignAndRangeCheck)
{
    EXPECT_EQ(ParseWholeNumber(u"12"), 12);
    EXPECT_EQ(ParseWholeNumber(u"-12"), -12);
    EXPECT_EQ(ParseWholeNumber(u"+7"), 7);
    EXPECT_EQ(ParseWholeNumber(u"  5"), 5);
    EXPECT_EQ(ParseWholeNumber(u"2147483647"), 2147483647);
    EXPECT_EQ(ParseWholeNumber(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseWholeNumber(u"2147483648"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber(u"99999999999999999999"), std::nullopt);
}

TEST(ParseWholeNumber, HexadecimalFormsAreThirtyTwoBitPatterns)
{
    EXPECT_EQ(ParseWholeNumber(u"$1F"), 31);
    EXPECT_EQ(ParseWholeNumber(u"x10"), 16);
    EXPECT_EQ(ParseWholeNumber(u"X10"), 16);
    EXPECT_EQ(ParseWholeNumber(u"0x1"), 1);
    EXPECT_EQ(ParseWholeNumber(u"0XfF"), 255);
    EXPECT_EQ(ParseWholeNumber(u"0xFFFFFFFF"), -1);
    EXPECT_EQ(ParseWholeNumber(u"$123456789"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber(u"0x"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber(u"$G"), std::nullopt);
}

TEST(ParseWholeNumber, AnythingElseIsNotAWholeNumber)
{
    for (const char16_t* text : {u"", u" ", u"12.5", u"12 ", u"1a", u"-", u"abc", u"١٢"})
        EXPECT_EQ(ParseWholeNumber(text), std::nullopt) << QString::fromUtf16(text).toStdString();
}

TEST(ParseLeadingReal, TakesTheLongestLeadingNumber)
{
    struct Case {
        const char16_t* text;
        double value;
    };
    for (const Case& c : {Case{u"116.39", 116.39}, Case{u"  -1.5e2xyz", -150}, Case{u"30abc", 30},
             Case{u".5", 0.5}, Case{u"5.", 5}, Case{u"1e", 1}, Case{u"+2E-1", 0.2}, Case{u"7.25.3", 7.25}}) {
        const LeadingReal read = ParseLeadingReal(c.text);
        EXPECT_EQ(read.Result, LeadingReal::Kind::Number) << QString::fromUtf16(c.text).toStdString();
        EXPECT_DOUBLE_EQ(read.Value, c.value) << QString::fromUtf16(c.text).toStdString();
    }
}

TEST(ParseLeadingReal, TextsWithoutANumberAndOverflow)
{
    for (const char16_t* text : {u"", u"abc", u"-", u".", u"e5", u" +.e1"})
        EXPECT_EQ(ParseLeadingReal(text).Result, LeadingReal::Kind::NoNumber) << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(ParseLeadingReal(u"1e999").Result, LeadingReal::Kind::OutOfRange);
}

TEST(LocalDateTimeText, ShortDateAndLongTimeWithoutZone)
{
    const QDateTime when(QDate(2026, 12, 7), QTime(19, 47, 5));
    EXPECT_EQ(LocalDateTimeText(when), "12/7/26 7:47:05 PM");
    LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(LocalDateTimeText(when), "07.12.26 19:47:05");
}

TEST(GeneralRealText, IgnoresTheCLocaleThatQtTakesFromTheEnvironment)
{
    // Qt sets the C library's locale from LANG; a comma locale there must not
    // leak into the digits.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE.UTF-8 locale on this machine";
    const QString text = GeneralRealText(40.17887331434696);
    const QString small = GeneralRealText(-1.5e-7);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "40.178873314347");
    EXPECT_EQ(small, "-1.5E-7");
}
