#include "task/tile_pause.h"

std::optional<QString> TilePause::LogLine() const
{
    if (!ConfiguredMs)
        return std::nullopt;
    QString line = QStringLiteral("Pause after each tile: %1 ms").arg(Ms);
    if (Ms != *ConfiguredMs)
        line += QStringLiteral(" (raised from %1 ms for openstreetmap.org)").arg(*ConfiguredMs);
    return line;
}
