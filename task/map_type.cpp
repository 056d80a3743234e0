#include "task/map_type.h"

#include <QUrl>

int MapTypeCodeForItem(int item)
{
    return item >= 0 && item <= 2 ? MAPNIK + item : -1;
}

int ItemForMapTypeCode(int code)
{
    return code >= MAPNIK && code <= CYCLE ? code - MAPNIK : -1;
}

QString MapTypeFilePrefix(int code)
{
    switch (code) {
    case MAPNIK: return QStringLiteral("os");
    case OSMARENDER: return QStringLiteral("oo");
    case CYCLE: return QStringLiteral("oc");
    default: return {};
    }
}

QString TileServers::TemplateFor(int mapTypeCode) const
{
    switch (mapTypeCode) {
    case MAPNIK: return Mapnik;
    case OSMARENDER: return Osmarender;
    case CYCLE: return Cycle;
    default: return {};
    }
}

std::optional<int> TileServers::PauseFor(int mapTypeCode) const
{
    switch (mapTypeCode) {
    case MAPNIK: return MapnikPause;
    case OSMARENDER: return OsmarenderPause;
    case CYCLE: return CyclePause;
    default: return std::nullopt;
    }
}

std::optional<int> TileServers::InFlightFor(int mapTypeCode) const
{
    switch (mapTypeCode) {
    case MAPNIK: return MapnikInFlight;
    case OSMARENDER: return OsmarenderInFlight;
    case CYCLE: return CycleInFlight;
    default: return std::nullopt;
    }
}

QString TileServers::AttributionFor(int mapTypeCode) const
{
    std::optional<QString> key;
    switch (mapTypeCode) {
    case MAPNIK: key = MapnikAttribution; break;
    case OSMARENDER: key = OsmarenderAttribution; break;
    case CYCLE: key = CycleAttribution; break;
    default: return {};
    }
    if (key)
        return *key;
    const QString host = QUrl(TemplateFor(mapTypeCode)).host().toLower();
    const bool osm = host == u"openstreetmap.org" || host.endsWith(QStringLiteral(".openstreetmap.org"));
    return osm ? QStringLiteral("© OpenStreetMap contributors") : QString();
}

QString FillTileAddress(const QString& addressTemplate, int zoom, int x, int y, const QStringList& subdomains)
{
    QString address = addressTemplate;
    address.replace(QStringLiteral("{z}"), QString::number(zoom));
    address.replace(QStringLiteral("{x}"), QString::number(x));
    address.replace(QStringLiteral("{y}"), QString::number(y));
    if (!address.contains(u'{'))
        return address;
    if (address.contains(QStringLiteral("{-y}")))
        address.replace(QStringLiteral("{-y}"), QString::number((qint64(1) << zoom) - 1 - y));
    if (address.contains(QStringLiteral("{q}")))
        address.replace(QStringLiteral("{q}"), TileQuadkey(zoom, x, y));
    if (!subdomains.isEmpty())
        address.replace(QStringLiteral("{s}"), subdomains[int((qint64(x) + y) % subdomains.size())]);
    return address;
}

QString TileQuadkey(int zoom, int x, int y)
{
    QString key;
    for (int level = zoom; level > 0; --level) {
        const int mask = 1 << (level - 1);
        key += QChar(u'0' + ((x & mask) ? 1 : 0) + ((y & mask) ? 2 : 0));
    }
    return key;
}
