#include "task/map_sources.h"

#include "platform/folders.h"
#include "settings/config_file.h"
#include "task/map_type.h"
#include "task/source_file.h"

#include <QDir>
#include <QFileInfo>

namespace {
bool IsBuiltInName(const QString& name)
{
    for (const char* builtIn : {"MAPNIK", "OSMARENDER", "CYCLE"})
        if (name.compare(QLatin1String(builtIn), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool IsBuiltInPrefix(const QString& prefix)
{
    for (const int code : {MAPNIK, OSMARENDER, CYCLE})
        if (prefix.compare(MapTypeFilePrefix(code), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Why `source` cannot join those already taken; empty when it can.
QString ClashOf(const MapSource& source, const QList<std::shared_ptr<const MapSource>>& taken)
{
    const auto fileNameOf = [](const MapSource& other) { return QFileInfo(other.FileName).fileName(); };
    if (IsBuiltInName(source.Name))
        return SourceProblemText(source.FileName, QStringLiteral("Name"),
            QStringLiteral("is %1, the name of a built-in map type").arg(source.Name));
    if (IsBuiltInPrefix(source.Prefix))
        return SourceProblemText(source.FileName, QStringLiteral("Prefix"),
            QStringLiteral("is %1, the prefix of a built-in map type").arg(source.Prefix));
    for (const auto& other : taken) {
        if (other->Name.compare(source.Name, Qt::CaseInsensitive) == 0)
            return SourceProblemText(source.FileName, QStringLiteral("Name"),
                QStringLiteral("is %1, already the name of %2").arg(source.Name, fileNameOf(*other)));
        if (other->Prefix.compare(source.Prefix, Qt::CaseInsensitive) == 0)
            return SourceProblemText(source.FileName, QStringLiteral("Prefix"),
                QStringLiteral("clashes: %1 is already the prefix of %2").arg(source.Prefix, fileNameOf(*other)));
    }
    return {};
}
}

QString MapSourcesFolder()
{
    return WithTrailingSeparator(QFileInfo(ConfigFileName()).absolutePath() + FolderSeparator() + QStringLiteral("sources"));
}

std::shared_ptr<const MapSource> MapSources::Find(const QString& nameOrStem) const
{
    for (const auto& source : Sources)
        if (source->Name.compare(nameOrStem, Qt::CaseInsensitive) == 0)
            return source;
    for (const auto& source : Sources)
        if (QFileInfo(source->FileName).completeBaseName().compare(nameOrStem, Qt::CaseInsensitive) == 0)
            return source;
    return nullptr;
}

QStringList MapSources::Names() const
{
    QStringList names;
    for (const auto& source : Sources)
        names << source->Name;
    return names;
}

MapSources ReadMapSources(const QString& folder)
{
    MapSources read;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& file : files) {
        SourceFileRead one = ReadSourceFile(QDir::toNativeSeparators(file.absoluteFilePath()));
        if (!one.Source) {
            read.Problems << one.Problem;
            continue;
        }
        if (const QString clash = ClashOf(*one.Source, read.Sources); !clash.isEmpty()) {
            read.Problems << clash;
            continue;
        }
        read.Sources << std::make_shared<const MapSource>(std::move(*one.Source));
    }
    return read;
}
