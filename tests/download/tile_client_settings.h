#pragma once

#include "download/http_client.h"

// A worker's request profile against the suite's loopback servers, with
// short time-outs.
inline HttpClientSettings TileClientSettings()
{
    HttpClientSettings settings;
    settings.Referer = QStringLiteral("http://www.openstreetmap.org/");
    settings.UserAgent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
    settings.Connection = QStringLiteral("Keep_Alive");
    settings.ExtraHeaderLines = {QStringLiteral("Cookie: ")};
    settings.ConnectTimeoutMs = 2000;
    settings.StallTimeoutMs = 1000;
    return settings;
}
