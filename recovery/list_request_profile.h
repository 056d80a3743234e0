#pragma once

#include "download/http_client.h"
#include "task/map_type.h"

#include <QString>

// The request profile for fetching `listFile` again: RedownloadClientSettings
// (recovery/failed_tile_redownload.h), and, when the list belongs to a task
// of a map source (NAME_failed.ftl beside NAME.qtsk) whose file is still in
// the map sources folder, that source's Referer, User-Agent and header
// fields, so that a service that wants its key gets it here too.
HttpClientSettings RedownloadSettingsForList(const QString& listFile, const TileServers& servers);
