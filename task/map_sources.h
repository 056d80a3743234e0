#pragma once

#include "task/map_source.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// The map sources folder: "sources" beside the configuration file
// (settings/config_file.h), so ~/.config/tessaly/sources/ for an installed
// program and ini/sources/ beside a portable one. Ends in the separator.
QString MapSourcesFolder();

// The sources of the folder, read when asked (nothing is cached, as with
// every setting). Files are taken in the order of their names; a bad file,
// or one whose Name or Prefix another file or a built-in map type has
// already taken, is left out with its message, and the others still load.
struct MapSources {
    QList<std::shared_ptr<const MapSource>> Sources;
    QStringList Problems;

    // The source of this Name (case not minding) or file stem; null if none.
    std::shared_ptr<const MapSource> Find(const QString& nameOrStem) const;
    // Every Name, in the folder's order.
    QStringList Names() const;
};
MapSources ReadMapSources(const QString& folder = MapSourcesFolder());
