#include "task/configured_servers.h"

#include "settings/config_file.h"
#include "settings/ini_file.h"
#include "task/tile_pause.h"
#include "task/tiles_in_flight.h"

namespace {
const QString kServers = QStringLiteral("Servers");

// A key of the Servers section as it is; absent when the file has none.
std::optional<QString> ReadOptionalKey(const TIniFile& ini, const QString& key)
{
    // No trimmed value read from a file is a lone NUL character.
    const QString missing(1, QChar(0));
    const QString text = ini.ReadString(kServers, key, missing);
    return text == missing ? std::nullopt : std::optional<QString>(text);
}

// A numeric key: absent when the file has none; a whole number from
// `lowest` to `highest`, or else `fallback`, when it has one.
std::optional<int> ReadBoundedKey(const TIniFile& ini, const QString& key, int lowest, int highest, int fallback)
{
    const std::optional<QString> text = ReadOptionalKey(ini, key);
    if (!text)
        return std::nullopt;
    bool whole = false;
    const int value = text->toInt(&whole, 10);
    return whole && value >= lowest && value <= highest ? value : fallback;
}

std::optional<int> ReadPauseKey(const TIniFile& ini, const QString& key)
{
    return ReadBoundedKey(ini, key, 0, kMaxTilePauseMs, kDefaultTilePauseMs);
}

std::optional<int> ReadInFlightKey(const TIniFile& ini, const QString& key)
{
    return ReadBoundedKey(ini, key, 1, kMaxTilesInFlight, kDefaultTilesInFlight);
}
}

TileServers ReadTileServers()
{
    const TIniFile ini(ConfigFileName());
    TileServers servers;
    servers.Mapnik = ini.ReadString(kServers, QStringLiteral("Mapnik"), servers.Mapnik);
    servers.Osmarender = ini.ReadString(kServers, QStringLiteral("Osmarender"), servers.Osmarender);
    servers.Cycle = ini.ReadString(kServers, QStringLiteral("Cycle"), servers.Cycle);
    servers.HomePage = ini.ReadString(kServers, QStringLiteral("HomePage"), servers.HomePage);
    servers.UserAgent = ini.ReadString(kServers, QStringLiteral("UserAgent"), servers.UserAgent);
    servers.MapnikPause = ReadPauseKey(ini, QStringLiteral("MapnikPause"));
    servers.OsmarenderPause = ReadPauseKey(ini, QStringLiteral("OsmarenderPause"));
    servers.CyclePause = ReadPauseKey(ini, QStringLiteral("CyclePause"));
    servers.MapnikInFlight = ReadInFlightKey(ini, QStringLiteral("MapnikInFlight"));
    servers.OsmarenderInFlight = ReadInFlightKey(ini, QStringLiteral("OsmarenderInFlight"));
    servers.CycleInFlight = ReadInFlightKey(ini, QStringLiteral("CycleInFlight"));
    servers.MapnikAttribution = ReadOptionalKey(ini, QStringLiteral("MapnikAttribution"));
    servers.OsmarenderAttribution = ReadOptionalKey(ini, QStringLiteral("OsmarenderAttribution"));
    servers.CycleAttribution = ReadOptionalKey(ini, QStringLiteral("CycleAttribution"));
    return servers;
}
