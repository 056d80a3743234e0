#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Degrees, minutes and seconds to decimal degrees, as the converter window
// computes them: degrees and minutes are whole numbers (decimal or hexadecimal
// forms), the seconds the longest leading decimal number of their text (0 when
// there is none), the seconds and the result single precision. The three parts
// are simply added: a negative degree value does not carry its sign to the
// minutes and seconds. Empty when the degrees or minutes are not whole numbers
// or the result is not a finite number.
std::optional<float> DegreesFromDms(QStringView degrees, QStringView minutes, QStringView seconds);

// The result as the converter shows it (general real text of the widened value).
QString DegreesText(float degrees);
