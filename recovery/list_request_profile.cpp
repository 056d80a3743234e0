#include "recovery/list_request_profile.h"

#include "download/request_profile.h"
#include "recovery/failed_tile_redownload.h"
#include "task/map_sources.h"
#include "task/stored_source.h"

#include <QFileInfo>

HttpClientSettings RedownloadSettingsForList(const QString& listFile, const TileServers& servers)
{
    HttpClientSettings settings = RedownloadClientSettings(servers);
    const QString suffix = QStringLiteral("_failed.ftl");
    if (!listFile.endsWith(suffix))
        return settings;
    const QString projectFile = listFile.chopped(suffix.size()) + QStringLiteral(".qtsk");
    if (!QFileInfo(projectFile).isFile())
        return settings;
    const QString name = StoredSourceName(projectFile);
    if (name.isEmpty())
        return settings;
    if (const auto source = ReadMapSources().Find(name))
        AddSourceRequestLines(*source, settings);
    return settings;
}
