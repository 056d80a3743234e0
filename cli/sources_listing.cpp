#include "cli/sources_listing.h"

#include <QDir>
#include <algorithm>
#include <array>
#include <vector>

QString SourcesTable(const MapSources& sources, const QString& folder)
{
    if (sources.Sources.isEmpty())
        return QStringLiteral("No map sources in %1\n").arg(QDir::toNativeSeparators(folder));
    std::vector<std::array<QString, 4>> rows{{QStringLiteral("NAME"), QStringLiteral("PREFIX"), QStringLiteral("ZOOM"),
        QStringLiteral("HOST")}};
    for (const auto& source : sources.Sources)
        rows.push_back({source->Name, source->Prefix, QStringLiteral("%1-%2").arg(source->MinZoom).arg(source->MaxZoom),
            source->Host()});
    std::array<qsizetype, 3> widths{};
    for (const auto& row : rows)
        for (size_t column = 0; column < widths.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    QString table;
    for (const auto& row : rows) {
        for (size_t column = 0; column < widths.size(); ++column)
            table += row[column].leftJustified(widths[column] + 2);
        table += row[3] + u'\n';
    }
    return table;
}
