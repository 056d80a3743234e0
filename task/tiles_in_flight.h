#pragma once

// How many requests a worker keeps in flight on its one connection. Only a
// server that multiplexes (HTTP/2) takes more than one at a time; a server
// far away then answers a window of tiles per round trip instead of one.
constexpr int kMaxTilesInFlight = 64;
// Eight workers with eight each keep 64 requests in flight: what curl's own
// --parallel-max 64 keeps on one HTTP/2 connection.
constexpr int kDefaultTilesInFlight = 8;
