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

TilePause TilePauseFor(const TileServers& servers, int mapTypeCode)
{
    TilePause pause;
    pause.ConfiguredMs = servers.PauseFor(mapTypeCode);
    if (pause.ConfiguredMs)
        pause.Ms = *pause.ConfiguredMs;
    if (IsOpenStreetMapAddress(servers.TemplateFor(mapTypeCode)))
        pause.Ms = qMax(pause.Ms, kOpenStreetMapMinTilePauseMs);
    return pause;
}
