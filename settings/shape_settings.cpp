#include "settings/shape_settings.h"

#include "platform/number_text.h"
#include "settings/config_file.h"
#include "settings/ini_file.h"

namespace {
const QString kSection = QStringLiteral("IniParas");
const QString kKey = QStringLiteral("ShapeCorridorKm");
}

double ReadShapeCorridorKm()
{
    bool ok = false;
    const double kilometres = TIniFile(ConfigFileName()).ReadString(kSection, kKey, QString()).toDouble(&ok);
    return ok && kilometres >= 0 ? kilometres : 1.0;
}

void WriteShapeCorridorKm(double kilometres)
{
    TIniFile(ConfigFileName()).WriteString(kSection, kKey, GeneralRealText(kilometres));
}
