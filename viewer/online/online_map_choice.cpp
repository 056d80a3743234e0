#include "viewer/online/online_map_choice.h"

#include "task/download_task.h"
#include "task/map_sources.h"

OnlineMapSource OnlineMapFor(const TaskParameters* task, const TileServers& servers)
{
    OnlineMapSource online{servers.Mapnik, servers.UserAgent, servers.HomePage, {}, {}};
    if (!task || !task->Source)
        return online;
    const MapSource& recorded = *task->Source;
    online.AddressTemplate = recorded.Url;
    online.Subdomains = recorded.Subdomains;
    online.HomePage.clear();
    if (const auto current = ReadMapSources().Find(recorded.Name)) {
        online.HomePage = current->Referer;
        if (!current->UserAgent.isEmpty())
            online.UserAgent = current->UserAgent;
        for (const auto& [name, value] : current->Headers)
            online.HeaderLines << name + QStringLiteral(": ") + value;
    }
    return online;
}
