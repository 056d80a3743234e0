#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

// The number and date texts the program writes and reads, with the rules of
// the Windows runtime the file formats come from.

// "General real text": at most 15 significant digits, no trailing zeros or
// separator, fixed notation unless the magnitude is below 0.00001 (and not 0)
// or the integer part has more than 15 digits, then scientific with "E"
// (1E-6, -1.5E-7, 1.23456789012346E17). The decimal separator is the one of
// the default QLocale (the user's regional settings unless a test sets one).
QString GeneralRealText(double value);

// A whole number: optional blanks, an optional sign, then decimal digits that
// fit a 32-bit signed integer, or at most eight hexadecimal digits behind
// "$", "x", "X", "0x" or "0X" taken as a 32-bit pattern. Nothing may follow.
std::optional<int> ParseWholeNumber(QStringView text);

// The longest leading decimal number of a text, as strtod reads it in the
// classic locale: blanks skipped, sign, digits, one ".", optional exponent.
struct LeadingReal {
    enum class Kind { Number, NoNumber, OutOfRange };
    Kind Result = Kind::NoNumber;
    double Value = 0;
};
LeadingReal ParseLeadingReal(QStringView text);

// An area text (a longitude or latitude as typed or stored in a project
// file) as a number: "," serves as the decimal point as well as ".", so files
// written under any regional setting read back; the longest leading number
// counts and anything behind it is ignored. No number at all (the empty text
// included) or one out of range gives nothing: a task silently placed at
// 0, 0 is never what the user meant.
std::optional<double> ReadAreaNumber(const QString& text);

// Local date and time as the log shows them: the locale's short date, a
// blank, the locale's long time (without a time-zone name).
QString LocalDateTimeText(const QDateTime& when);
