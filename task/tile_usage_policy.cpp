#include "task/tile_usage_policy.h"

#include "settings/config_file.h"
#include "task/tile_range.h"
#include "task/tiles_in_flight.h"

bool IsOpenStreetMapAddress(const QString& address)
{
    const qsizetype schemeEnd = address.indexOf(QStringLiteral("://"));
    QString authority = address.mid(schemeEnd < 0 ? 0 : schemeEnd + 3);
    authority = authority.left(authority.indexOf(u'/'));
    const QString host = authority.section(u'@', -1).section(u':', 0, 0).toLower();
    const QString domain = QStringLiteral("openstreetmap.org");
    return host == domain || host.endsWith(u'.' + domain);
}

std::optional<QString> TileUsagePolicyRefusal(const TaskParameters& parameters)
{
    const TaskTileRange range = ComputeTaskTileRange(parameters);
    if (range.Refusal)
        return std::nullopt;
    return TileUsagePolicyRefusal(parameters, range.Range.TotalCount);
}

std::optional<QString> TileUsagePolicyRefusal(const TaskParameters& parameters, qint64 count)
{
    const QString address = parameters.Source ? parameters.Source->Url : parameters.Servers.TemplateFor(parameters.MapsType);
    if (!IsOpenStreetMapAddress(address))
        return std::nullopt;
    if (count <= kMaxTilesFromOpenStreetMap)
        return std::nullopt;
    return QStringLiteral(
        "This task holds %1 tiles. The tile usage policy of the OpenStreetMap Foundation "
        "(https://operations.osmfoundation.org/policies/tiles/) forbids bulk downloading from its tile "
        "servers, and %2 is one of them: a task for it may hold at most %3 tiles.\n\n"
        "Choose a smaller area or a lower zoom level, or set the address of a tile server that allows "
        "this use in the Servers section of the configuration file %4.")
        .arg(count)
        .arg(FillTileAddress(address, parameters.Zoom, 0, 0).section(u'/', 0, 2))
        .arg(kMaxTilesFromOpenStreetMap)
        .arg(ConfigFileName());
}

namespace {
TilePause PauseWithFloor(std::optional<int> configuredMs, const QString& addressTemplate)
{
    TilePause pause;
    pause.ConfiguredMs = configuredMs;
    if (pause.ConfiguredMs)
        pause.Ms = *pause.ConfiguredMs;
    if (IsOpenStreetMapAddress(addressTemplate))
        pause.Ms = qMax(pause.Ms, kOpenStreetMapMinTilePauseMs);
    return pause;
}

int InFlightWithPause(std::optional<int> configured, const QString& addressTemplate, const TilePause& pause)
{
    if (pause.Ms != 0 || IsOpenStreetMapAddress(addressTemplate))
        return 1;
    return configured.value_or(kDefaultTilesInFlight);
}
}

TilePause TilePauseFor(const TileServers& servers, int mapTypeCode)
{
    return PauseWithFloor(servers.PauseFor(mapTypeCode), servers.TemplateFor(mapTypeCode));
}

TilePause TilePauseFor(const MapSource& source)
{
    return PauseWithFloor(source.PauseMs, source.Url);
}

int TilesInFlightFor(const TileServers& servers, int mapTypeCode, const TilePause& pause)
{
    return InFlightWithPause(servers.InFlightFor(mapTypeCode), servers.TemplateFor(mapTypeCode), pause);
}

int TilesInFlightFor(const MapSource& source, const TilePause& pause)
{
    return InFlightWithPause(source.InFlight, source.Url, pause);
}
