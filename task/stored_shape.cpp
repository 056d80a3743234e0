#include "task/stored_shape.h"

#include "geo/area_file.h"
#include "geo/area_outline.h"
#include "geo/tile_cover.h"
#include "platform/app_error.h"
#include "platform/number_text.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <mutex>

namespace {
// Covers worked out on first use and kept: the estimate, the checks and the
// task of one start ask for the same zoom several times.
class CoverCache {
public:
    explicit CoverCache(AreaShape shape) : shape_(std::move(shape)) {}

    std::shared_ptr<const TileCover> At(int zoom)
    {
        const std::lock_guard lock(mutex_);
        std::shared_ptr<const TileCover>& cover = covers_[zoom];
        if (!cover)
            cover = std::make_shared<const TileCover>(shape_, zoom);
        return cover;
    }

private:
    const AreaShape shape_;
    std::mutex mutex_;
    std::map<int, std::shared_ptr<const TileCover>> covers_;
};
}

std::shared_ptr<const ShapedArea> MakeShapedArea(const AreaShape& shape, const QString& areaFileName,
    const QString& shapeName, double corridorMetres)
{
    auto area = std::make_shared<ShapedArea>();
    area->FileName = areaFileName;
    area->ShapeName = shapeName;
    area->CorridorMetres = corridorMetres;
    auto covers = std::make_shared<CoverCache>(shape);
    area->CoverAt = [covers](int zoom) { return covers->At(zoom); };
    area->Write = [shape](const QString& fileName) { return WriteAreaFile(shape, fileName); };
    area->Outline = [shape] { return AreaOutline(shape); };
    return area;
}

std::shared_ptr<const ShapedArea> ReadStoredShape(const QString& projectFile)
{
    const QString name = StoredAreaFileName(projectFile);
    if (name.isEmpty())
        return nullptr;
    const QString fileName = QFileInfo(projectFile).absolutePath() + u'/' + name;
    const ShapeResult read = ReadAreaFile(fileName);
    if (!read.Ok())
        throw Refusal({QStringLiteral("Cannot open the area file %1 of the task %2: %3")
                .arg(QDir::toNativeSeparators(fileName), QDir::toNativeSeparators(projectFile), read.ProblemText)});
    return MakeShapedArea(*read.Shape, name, name, 0);
}

TaskInputs InputsOfStoredTask(const QString& projectFile)
{
    TaskInputs inputs = InputsOfProjectFile(projectFile);
    inputs.Shape = ReadStoredShape(projectFile);
    return inputs;
}

std::shared_ptr<const ShapedArea> ShapeNamedFor(const std::shared_ptr<const ShapedArea>& shape,
    const QString& typedTaskName)
{
    if (!shape)
        return nullptr;
    const QString fileName = AreaFileNameFor(ProjectFileNameFor(typedTaskName));
    if (shape->FileName == fileName)
        return shape;
    auto named = std::make_shared<ShapedArea>(*shape);
    named->FileName = fileName;
    return named;
}

void SetEdgesToShapeBounds(TaskInputs& inputs, const AreaShape& shape)
{
    const auto latitude = [](double value) { return GeneralRealText(std::clamp(value, -85.0, 85.0)); };
    inputs.LeftLongitude = GeneralRealText(shape.West());
    inputs.RightLongitude = GeneralRealText(shape.East());
    inputs.TopLatitude = latitude(shape.North());
    inputs.BottomLatitude = latitude(shape.South());
}

OpenedTask OpenStoredTaskReadOnly(const QString& projectFile)
{
    return OpenTaskReadOnly(projectFile, ReadStoredShape(projectFile));
}
