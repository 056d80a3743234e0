#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <functional>

class HttpClient;
class TileDiskCache;

struct TileAddress {
    int Zoom = 0;
    int X = 0;
    int Y = 0;
    friend bool operator==(const TileAddress&, const TileAddress&) = default;
};
size_t qHash(const TileAddress& tile, size_t seed = 0) noexcept;

using Clock = std::function<QDateTime()>;

// One tile for the screen, as a browser's private cache would get it:
// - a fresh copy on disk is used without asking the server;
// - a stale copy with validators is revalidated (If-None-Match /
//   If-Modified-Since); a 304 keeps its bytes and renews its freshness;
// - otherwise the tile is downloaded and, unless the reply says no-store,
//   kept on disk;
// - a stale copy stands in when the server cannot be reached or fails with
//   5xx, unless it was marked must-revalidate.
// A null image means the tile failed: any other status (404 ...), a transport
// failure without a copy, or bytes that do not decode; `failure`, when
// given, then says why in words.
struct TileFetchFailure {
    QString Reason;          // "connection refused by 127.0.0.1:19999", "HTTP 404"
    bool Unreachable = false;  // no answer from the server at all
};
QImage FetchTile(HttpClient& client, TileDiskCache& cache, const QString& url, const TileAddress& tile,
    const Clock& now, TileFetchFailure* failure = nullptr);
