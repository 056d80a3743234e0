#pragma once

#include "download/http_client.h"

struct MapSource;
struct TaskParameters;

// How a worker's client asks for tiles: the task's proxy values (the port
// converted from text), Referer = the map site's home page, the configured
// User-Agent, "Connection: Keep_Alive" and a Cookie line that is always
// sent. There is no per-user cookie store to read on this system, so the
// cookie text is empty and the line goes out as "Cookie:".
//
// Raises AppError with a line for the task log when the proxy is used and
// its port is not a whole number from 1 to 65535.
HttpClientSettings TileRequestSettings(const TaskParameters& parameters);

// A map source says who asks (its own User-Agent, else the one `settings`
// has) and for whom (its Referer, none without one), and adds its header
// fields to the extra lines.
void AddSourceRequestLines(const MapSource& source, HttpClientSettings& settings);
