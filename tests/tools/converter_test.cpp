#include "platform/message_box.h"
#include "tools/converter_window.h"
#include "tools/dms_conversion.h"

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
QString Converted(const char* degrees, const char* minutes, const char* seconds)
{
    const std::optional<float> result = DegreesFromDms(QString::fromLatin1(degrees),
        QString::fromLatin1(minutes), QString::fromLatin1(seconds));
    return result ? DegreesText(*result) : QStringLiteral("<input error>");
}
}

TEST(DmsConversion, ShowsTheRoundingOfASinglePrecisionResult)
{
    EXPECT_EQ(Converted("12", "30", ""), "12.5");
    EXPECT_EQ(Converted("12", "34", "56"), "12.5822219848633");
    EXPECT_EQ(Converted("45", "0", "36"), "45.0099983215332");
    EXPECT_EQ(Converted("0", "0", "0"), "0");
}

TEST(DmsConversion, PartsAreAddedWithoutCarryingTheSignOrLimits)
{
    EXPECT_EQ(Converted("-12", "30", "0"), "-11.5");
    EXPECT_EQ(Converted("12", "75", "0"), "13.25");
}

TEST(DmsConversion, DegreesAndMinutesMustBeWholeNumbersInHexOrDecimal)
{
    EXPECT_EQ(Converted("12.5", "0", "0"), "<input error>");
    EXPECT_EQ(Converted("", "0", "0"), "<input error>");
    EXPECT_EQ(Converted("12", "3x", "0"), "<input error>");
    EXPECT_EQ(Converted("2147483648", "0", "0"), "<input error>");
    EXPECT_EQ(Converted("  $C", "0x1E", "0"), "12.5");
}

TEST(DmsConversion, SecondsAreTheLongestLeadingNumberAndNeverFail)
{
    EXPECT_EQ(Converted("0", "0", "30abc"), Converted("0", "0", "30"));
    EXPECT_EQ(Converted("1", "0", "abc"), "1");
    EXPECT_EQ(Converted("0", "0", " 3.6e3"), "1");
    EXPECT_EQ(Converted("0", "0", "1e39"), "<input error>");  // beyond single precision
}

TEST(ConverterWindow, ConvertShowsTheResultOrReportsAnInputError)
{
    QStringList messages;
    InterceptMessages([&](MessageKind, const QString& text) { messages << text; });
    TfrmConvert window;
    EXPECT_EQ(window.windowTitle(), "Convert \"Degrees,Minutes,Seconds\" to \"Degrees\"");
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.Button1->isDefault());
    EXPECT_TRUE(window.Edit4->isReadOnly());

    window.Edit1->setText("12");
    window.Edit2->setText("34");
    window.Edit3->setText("56");
    window.Button1->click();
    EXPECT_EQ(window.Edit4->text(), "12.5822219848633");
    EXPECT_TRUE(messages.isEmpty());

    window.Edit1->setText("12.5");
    window.Button1->click();
    EXPECT_EQ(messages, QStringList{"Input Error."});
    EXPECT_EQ(window.Edit4->text(), "12.5822219848633");
    InterceptMessages(nullptr);
}

TEST(ConverterWindow, ALongResultShowsItsStartWithTheSign)
{
    TfrmConvert window;
    window.show();
    window.Edit1->setText("-12");
    window.Edit2->setText("-34");
    window.Edit3->setText("-56");
    window.Button1->click();
    EXPECT_EQ(window.Edit4->text(), "-12.5822219848633");
    EXPECT_EQ(window.Edit4->cursorPosition(), 0);
}
