#pragma once

#include "task/map_source.h"

#include <QString>
#include <optional>

// One map source file, NAME.ini: section [Source] with the keys Name,
// Prefix, Url, Subdomains, MinZoom, MaxZoom, TileSize, Format, Attribution,
// Referer, UserAgent, Pause, MaxConnections and InFlight, and section
// [Headers] with extra request header fields (X-Api-Key=...). Lines are
// "key=value", trimmed, one pair of enclosing quotes dropped; lines starting
// with ";" or "#" are comments. Name and Prefix default to the file's stem.
struct SourceFileRead {
    std::optional<MapSource> Source;
    // Else why the file is left out, naming the file and the key:
    // "<file>: the key Url holds the unknown placeholder {zoom}; the source is left out."
    QString Problem;
};
SourceFileRead ReadSourceFile(const QString& fileName);

// The message for a source file left out because of `key`.
QString SourceProblemText(const QString& fileName, const QString& key, const QString& what);
