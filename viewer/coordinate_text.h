#pragma once

#include <QString>

// Longitude and latitude as the status bar shows them.

// Decimal degrees with six decimals (about 0.1 m), a "." point.
QString DecimalDegreesText(double degrees);

// Degrees, minutes and seconds with a tenth of a second and the hemisphere
// letter: 116°07'24.4"E, 39°59'15.5"N.
QString LongitudeDmsText(double longitude);
QString LatitudeDmsText(double latitude);
