#include "viewer/coordinate_text.h"

#include <cmath>

namespace {
QString DmsText(double degrees, QChar positive, QChar negative)
{
    // Rounded once, in tenths of a second, so 59.96" never shows as 60.0".
    const qint64 tenths = std::llround(std::abs(degrees) * 36000);
    const qint64 whole = tenths / 36000;
    const qint64 minutes = tenths % 36000 / 600;
    const qint64 secondTenths = tenths % 600;
    return QStringLiteral("%1°%2'%3.%4\"%5")
        .arg(whole)
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(secondTenths / 10, 2, 10, QLatin1Char('0'))
        .arg(secondTenths % 10)
        .arg(degrees < 0 && tenths != 0 ? negative : positive);
}
}

QString DecimalDegreesText(double degrees)
{
    return QString::number(degrees, 'f', 6);
}

QString LongitudeDmsText(double longitude)
{
    return DmsText(longitude, u'E', u'W');
}

QString LatitudeDmsText(double latitude)
{
    return DmsText(latitude, u'N', u'S');
}
