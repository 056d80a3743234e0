#include "task/opened_task.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/number_text.h"
#include "platform/regular_file_read.h"
#include "task/stored_source.h"
#include "task/task_size_estimate.h"
#include "settings/ini_file.h"

#include <QDir>
#include <QFileInfo>

namespace {
// The project files Tessaly writes hold well under a kilobyte.
constexpr qint64 kMaxProjectFileBytes = 64 * 1024;

[[noreturn]] void Refuse(const QString& fileName, const QString& reason)
{
    throw AppError(QStringLiteral("Cannot open the task %1: %2.").arg(QDir::toNativeSeparators(fileName), reason));
}

// A project file has a small fixed shape: only so much of one is read, and
// a pipe at its name is never waited on.
QByteArray ReadProjectFile(const QString& fileName)
{
    const QFileInfo file(fileName);
    if (!file.exists())
        Refuse(fileName, QStringLiteral("the file does not exist"));
    if (!file.isFile())
        Refuse(fileName, QStringLiteral("it is not a file"));
    RegularFileBytes read = ReadRegularFile(fileName, kMaxProjectFileBytes, LinkRule::Follow);
    switch (read.Result) {
    case RegularFileBytes::Outcome::Read:
        return std::move(read.Bytes);
    case RegularFileBytes::Outcome::TooLarge:
        Refuse(fileName, QStringLiteral("it is too large for a project file (%1 bytes)").arg(GroupedNumber(read.FileSize)));
    case RegularFileBytes::Outcome::Missing:
    case RegularFileBytes::Outcome::Refused:
        break;
    }
    Refuse(fileName, QStringLiteral("the file cannot be read"));
}

void CheckReadableText(const QString& fileName)
{
    const QByteArray bytes = ReadProjectFile(fileName);
    if (bytes.trimmed().isEmpty())
        Refuse(fileName, QStringLiteral("the file is empty"));
    if (bytes.contains('\0'))
        Refuse(fileName, QStringLiteral("it is not a project file (it holds binary data)"));
}

double ReadEdge(const QString& fileName, const TIniFile& project, const QString& key)
{
    const QString text = project.ReadString(QStringLiteral("AREA"), key, QString());
    const auto value = ReadAreaNumber(text);
    if (!value)
        Refuse(fileName, QStringLiteral("the key %1 of section [AREA] holds no number").arg(key));
    return *value;
}

void CheckArea(const QString& fileName, const TaskParameters& p)
{
    const auto inside = [](double value, double limit) { return value >= -limit && value <= limit; };
    if (!inside(p.LeftLongitude, 180) || !inside(p.RightLongitude, 180) || !inside(p.TopLatitude, 85)
        || !inside(p.BottomLatitude, 85))
        Refuse(fileName, QStringLiteral("its area lies outside longitudes -180 to 180 and latitudes -85 to 85"));
    if (p.LeftLongitude > p.RightLongitude || p.TopLatitude < p.BottomLatitude)
        Refuse(fileName, QStringLiteral("its left edge lies east of its right edge or its top edge south of its bottom edge"));
}
}

void CheckProjectFileReadable(const QString& projectFileName)
{
    ReadProjectFile(projectFileName);
}

OpenedTask OpenTaskReadOnly(const QString& projectFileName)
{
    return OpenTaskReadOnly(projectFileName, nullptr);
}

OpenedTask OpenTaskReadOnly(const QString& projectFileName, std::shared_ptr<const ShapedArea> shape)
{
    CheckReadableText(projectFileName);
    const TIniFile project(projectFileName);

    auto parameters = std::make_unique<TaskParameters>();
    parameters->MapsType = project.ReadInteger(QStringLiteral("MapsType"), QStringLiteral("MapsType"), 0);
    if (parameters->MapsType == kMapSourceType) {
        try {
            if (auto source = ReadStoredSource(projectFileName))
                parameters->Source = std::make_shared<const MapSource>(std::move(*source));
        } catch (const AppError& error) {
            Refuse(projectFileName, error.Message());
        }
        if (!parameters->Source)
            Refuse(projectFileName, QStringLiteral("the key Name of section [Source] names no map source"));
    } else if (MapTypeFilePrefix(parameters->MapsType).isEmpty()) {
        Refuse(projectFileName, QStringLiteral("the key MapsType of section [MapsType] names no known map type"));
    }
    parameters->LeftLongitude = ReadEdge(projectFileName, project, QStringLiteral("LeftLongitude"));
    parameters->RightLongitude = ReadEdge(projectFileName, project, QStringLiteral("RightLongitude"));
    parameters->TopLatitude = ReadEdge(projectFileName, project, QStringLiteral("TopLatitude"));
    parameters->BottomLatitude = ReadEdge(projectFileName, project, QStringLiteral("BottomLatitude"));
    CheckArea(projectFileName, *parameters);
    constexpr int kNoZoom = -1;
    parameters->Zoom = project.ReadInteger(QStringLiteral("Zoom"), QStringLiteral("Zoom"), kNoZoom);
    if (parameters->Zoom == kNoZoom)
        Refuse(projectFileName, QStringLiteral("the key Zoom of section [Zoom] is missing or not a whole number"));

    const QFileInfo file(projectFileName);
    parameters->Path = WithTrailingSeparator(QDir::toNativeSeparators(file.absolutePath()));
    parameters->TaskName = file.fileName();
    if (shape) {
        parameters->Cover = shape->CoverAt(parameters->Zoom);
        parameters->Shape = std::move(shape);
    }

    OpenedTask opened;
    try {
        opened.Task = std::make_unique<MDTask>(parameters.get(), MDTask::ReadOnly{});
    } catch (const AppError& error) {
        Refuse(projectFileName, error.Message().chopped(error.Message().endsWith(u'.') ? 1 : 0));
    }
    opened.Parameters = std::move(parameters);
    return opened;
}
