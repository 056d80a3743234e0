#pragma once

#include "download/http_client.h"
#include "task/map_source.h"

#include <QString>
#include <optional>

// A reply that came with success holds a tile of the source's format when
// its Content-Type names that format, or, without a Content-Type, when its
// bytes begin as that format's files do. Anything else (an error page sent
// with 200, a PNG from a source of JPEG tiles) is never stored as a tile.
struct WrongTileReply {
    QString Reason;  // for the summary: "not a JPEG tile"
    QString Detail;  // for the log: "not a JPEG tile (Content-Type: text/html)"
};
std::optional<WrongTileReply> CheckTileReply(TileFormat format, const HttpResult& reply);
