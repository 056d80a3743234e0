#pragma once

#include "task/map_type.h"

// The Servers section of the configuration file (settings/config_file.h),
// edited by hand only: each missing key keeps the built-in address of
// TileServers. A pause key that is not a whole number from 0 to 60000 reads
// as 1000; an in-flight key that is not one from 1 to 64 reads as the
// default in flight.
TileServers ReadTileServers();
