#pragma once

#include "task/map_sources.h"

#include <QString>

// What `tessaly sources` prints on stdout: one line per source, in columns
// NAME, PREFIX, ZOOM ("0-19"), HOST, under a heading; a line saying there are
// none (and where they would be) when the folder has none.
QString SourcesTable(const MapSources& sources, const QString& folder);
