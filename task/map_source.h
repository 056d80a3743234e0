#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

// A tile service of the user's own, read from a file NAME.ini of the map
// sources folder (see task/map_sources.h): any XYZ, TMS or quadkey service
// with its own format, request lines and limits. A task of a source has the
// map type code kMapSourceType and carries the source itself.
constexpr int kMapSourceType = 11;

// What the tiles of a source are, and so the stored files' extension.
enum class TileFormat { Png, Jpeg, Webp };

struct MapSource {
    QString Name;          // shown to the user
    QString Prefix;        // of the tile file names, as "os" of MAPNIK
    QString Url;           // with {z} {x} {y} {-y} {q} {s}
    QStringList Subdomains;
    int MinZoom = 0;
    int MaxZoom = 19;
    int TileSize = 256;
    TileFormat Format = TileFormat::Png;
    QString Attribution;
    QString Referer;       // empty: none sent
    QString UserAgent;     // empty: the configured one
    std::optional<int> PauseMs;
    int MaxConnections = 8;
    std::optional<int> InFlight;
    QList<QPair<QString, QString>> Headers;  // [Headers], in the file's order
    // The file it was read from; empty for a source known only from what a
    // task recorded in its project file.
    QString FileName;

    QString Host() const;
    QString Extension() const { return TileFormatExtension(Format); }
    static QString TileFormatExtension(TileFormat format);
};

// "png", "jpg", "webp" and back; nothing for another text.
std::optional<TileFormat> TileFormatNamed(const QString& extension);
// "PNG", "JPEG", "WebP".
QString TileFormatTitle(TileFormat format);
// "image/png", "image/jpeg", "image/webp".
QString TileFormatMediaType(TileFormat format);

// The prefix of a task's tile file names: its source's, or its map type's.
QString MapFilePrefix(int mapsType, const MapSource* source);

// The placeholders an address template may hold.
QStringList TileAddressPlaceholders();
