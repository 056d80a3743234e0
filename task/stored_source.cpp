#include "task/stored_source.h"

#include "platform/app_error.h"
#include "settings/ini_file.h"
#include "task/map_sources.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kSection = QStringLiteral("Source");

QString Key(const TIniFile& project, const char* key)
{
    return project.ReadString(kSection, QLatin1String(key), QString());
}
}

QStringList StoredSourceLines(const MapSource& source)
{
    return {
        QStringLiteral("[Source]"),
        QStringLiteral("Name=") + source.Name,
        QStringLiteral("Url=") + source.Url,
        QStringLiteral("Attribution=") + source.Attribution,
        QStringLiteral("Prefix=") + source.Prefix,
        QStringLiteral("Format=") + source.Extension(),
        QStringLiteral("TileSize=") + QString::number(source.TileSize),
        QStringLiteral("Subdomains=") + source.Subdomains.join(u','),
        QString(),
    };
}

std::optional<MapSource> ReadStoredSource(const QString& projectFile)
{
    const TIniFile project(projectFile);
    MapSource source;
    source.Name = Key(project, "Name");
    if (source.Name.isEmpty())
        return std::nullopt;
    source.Url = Key(project, "Url");
    source.Attribution = Key(project, "Attribution");
    source.Prefix = Key(project, "Prefix");
    if (source.Prefix.isEmpty() || source.Prefix.contains(u'/') || source.Prefix.contains(u'\\'))
        throw AppError(QStringLiteral("the key Prefix of section [Source] names no tile file prefix"));
    const auto format = TileFormatNamed(Key(project, "Format"));
    if (!format)
        throw AppError(QStringLiteral("the key Format of section [Source] is not png, jpg or webp"));
    source.Format = *format;
    source.TileSize = project.ReadInteger(kSection, QStringLiteral("TileSize"), 256);
    for (const QString& subdomain : Key(project, "Subdomains").split(u',', Qt::SkipEmptyParts))
        source.Subdomains << subdomain;
    return source;
}

QString StoredSourceName(const QString& projectFile)
{
    return TIniFile(projectFile).ReadString(kSection, QStringLiteral("Name"), QString());
}

std::shared_ptr<const MapSource> SourceOfStoredTask(const QString& projectFile)
{
    const QString name = StoredSourceName(projectFile);
    if (name.isEmpty())
        return nullptr;
    if (auto current = ReadMapSources().Find(name))
        return current;
    try {
        if (auto stored = ReadStoredSource(projectFile))
            return std::make_shared<const MapSource>(std::move(*stored));
    } catch (const AppError&) {
    }
    MapSource named;
    named.Name = name;
    return std::make_shared<const MapSource>(std::move(named));
}

std::optional<QString> SourceRefusal(const TaskInputs& inputs)
{
    const MapSource* source = inputs.Source.get();
    if (!source)
        return std::nullopt;
    if (source->FileName.isEmpty())
        return QStringLiteral("The map source %1 of this task is not among the map sources in %2.")
            .arg(source->Name, QDir::toNativeSeparators(MapSourcesFolder()));
    if (inputs.Zoom < source->MinZoom || inputs.Zoom > source->MaxZoom)
        return QStringLiteral("The map source %1 has tiles from zoom level %2 to %3 only; zoom level %4 is outside them.")
            .arg(source->Name)
            .arg(source->MinZoom)
            .arg(source->MaxZoom)
            .arg(inputs.Zoom);
    return std::nullopt;
}

std::optional<QString> ChangedTemplateText(const CheckedInputs& task)
{
    const MapSource* source = task.Typed.Source.get();
    if (!source || !ContinuesProject(task.ProjectFile, task.Typed))
        return std::nullopt;
    const QString stored = TIniFile(task.ProjectFile).ReadString(kSection, QStringLiteral("Url"), QString());
    if (stored == source->Url)
        return std::nullopt;
    return QStringLiteral("The map source %1 has changed its address template since the task %2 was started.\n"
                          "Then: %3\nNow:  %4")
        .arg(source->Name, QFileInfo(task.ProjectFile).fileName(), stored, source->Url);
}

QString ChangedTemplateRefusal(const QString& changedText)
{
    return changedText
        + QStringLiteral("\nThe task is not continued: tiles from two templates would be mixed. Restore the template, "
                         "or start the task under another name.");
}

void RecordSourceTemplate(const QString& projectFile, const QString& addressTemplate)
{
    TIniFile project(projectFile);
    if (project.ReadString(kSection, QStringLiteral("Url"), QString()) != addressTemplate)
        project.WriteString(kSection, QStringLiteral("Url"), addressTemplate);
}
