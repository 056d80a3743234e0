#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The integer that names a map type everywhere outside the radio group.
enum MapTypeCode : int {
    MAPNIK = 8,
    OSMARENDER = 9,
    CYCLE = 10,
};

// Radio item 0, 1, 2 to code 8, 9, 10 and back; -1 for anything else.
int MapTypeCodeForItem(int item);
int ItemForMapTypeCode(int code);

// Prefix of a tile file name: "os", "oo", "oc"; empty for an unknown code.
QString MapTypeFilePrefix(int code);

// Where the tiles of each map type come from. Addresses are templates with
// {z}, {x} and {y}; users point them at a server that suits them through the
// Servers section of the configuration file.
struct TileServers {
    QString Mapnik = QStringLiteral("http://tile.openstreetmap.org/{z}/{x}/{y}.png");
    QString Osmarender = QStringLiteral("http://tah.openstreetmap.org/Tiles/tile/{z}/{x}/{y}.png");
    QString Cycle = QStringLiteral("http://tile.opencyclemap.org/cycle/{z}/{x}/{y}.png");
    // `MapSiteHomeUrl`: the Referer of every tile request and the address
    // whose cookies are sent.
    QString HomePage = QStringLiteral("http://www.openstreetmap.org/");
    QString UserAgent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
    // The pause after each stored tile, in milliseconds, from the keys
    // MapnikPause, OsmarenderPause and CyclePause; absent without a key.
    std::optional<int> MapnikPause;
    std::optional<int> OsmarenderPause;
    std::optional<int> CyclePause;
    // How many requests a worker keeps in flight on its connection, from the
    // keys MapnikInFlight, OsmarenderInFlight and CycleInFlight; absent
    // without a key.
    std::optional<int> MapnikInFlight;
    std::optional<int> OsmarenderInFlight;
    std::optional<int> CycleInFlight;
    // The credit line the map's licence asks for, from the keys
    // MapnikAttribution, OsmarenderAttribution and CycleAttribution.
    std::optional<QString> MapnikAttribution;
    std::optional<QString> OsmarenderAttribution;
    std::optional<QString> CycleAttribution;

    // The template of a map type; empty for an unknown code.
    QString TemplateFor(int mapTypeCode) const;
    // The pause key's value of a map type; absent for an unknown code.
    std::optional<int> PauseFor(int mapTypeCode) const;
    // The in-flight key's value of a map type; absent for an unknown code.
    std::optional<int> InFlightFor(int mapTypeCode) const;
    // The attribution key's value of a map type; without the key,
    // "© OpenStreetMap contributors" for a template on an openstreetmap.org
    // host, else empty.
    QString AttributionFor(int mapTypeCode) const;
};

// `addressTemplate` with {z}, {x} and {y} replaced by plain decimal numbers,
// {-y} by the row counted from the south (TMS), {q} by the quadkey and {s}
// by one of `subdomains`, chosen by the tile so that a tile always goes to
// the same host.
QString FillTileAddress(const QString& addressTemplate, int zoom, int x, int y, const QStringList& subdomains = {});

// The tile (x, y) at `zoom` as a quadkey: one digit per level, "" at zoom 0.
QString TileQuadkey(int zoom, int x, int y);
