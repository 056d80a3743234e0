#include "geo/area_file.h"

#include "geo/gdal_session.h"
#include "platform/text_files.h"

#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <QFileInfo>
#include <QUuid>
#include <atomic>

namespace {
// The GeoJSON text of `shape`, made by GDAL in memory.
QByteArray GeoJsonOf(const AreaShape& shape, const GdalSession& session, QString& error)
{
    const QByteArray memoryFile =
        "/vsimem/tessaly-area-" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + ".geojson";
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GeoJSON");
    GDALDatasetUniquePtr dataset(driver ? driver->Create(memoryFile.constData(), 0, 0, 0, GDT_Unknown, nullptr)
                                        : nullptr);
    if (!dataset) {
        error = session.LastError();
        return {};
    }
    OGRSpatialReference wgs84;
    wgs84.SetWellKnownGeogCS("WGS84");
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const char* options[] = {"SIGNIFICANT_FIGURES=17", nullptr};
    OGRLayer* layer = dataset->CreateLayer("area", &wgs84, wkbUnknown, const_cast<char**>(options));
    bool written = false;
    if (layer) {
        OGRFeature feature(layer->GetLayerDefn());
        feature.SetGeometry(&shape.Geometry());
        written = layer->CreateFeature(&feature) == OGRERR_NONE;
    }
    if (!written)
        error = session.LastError();
    dataset.reset();  // closing writes the file
    QByteArray bytes;
    vsi_l_offset length = 0;
    if (GByte* buffer = VSIGetMemFileBuffer(memoryFile.constData(), &length, FALSE); buffer && written)
        bytes = QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(length));
    VSIUnlink(memoryFile.constData());
    return bytes;
}
}  // namespace

QString AreaFileNameFor(const QString& projectFileName)
{
    QString base = projectFileName;
    if (base.endsWith(QStringLiteral(".qtsk"), Qt::CaseInsensitive))
        base.chop(5);
    return base + QStringLiteral(".area.geojson");
}

QString WriteAreaFile(const AreaShape& shape, const QString& fileName)
{
    const GdalSession session;
    QString error;
    const QByteArray bytes = GeoJsonOf(shape, session, error);
    if (bytes.isEmpty())
        return CannotCreateFileMessage(fileName, error);
    try {
        WriteFileAtomically(fileName, bytes);
    } catch (const AppError& failure) {
        return failure.Message();
    }
    return {};
}

ShapeResult ReadAreaFile(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const QFileInfo file(fileName);
    if (file.isFile() && file.size() > kMaxAreaFileBytes)
        return ShapeResult::Refused(ShapeProblem::TooLarge,
                       QStringLiteral("The area file %1 is larger than %2 MiB").arg(name).arg(kMaxAreaFileBytes >> 20));
    const GdalSession session;
    GDALDatasetUniquePtr dataset(
        GDALDataset::Open(fileName.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset)
        return ShapeResult::Refused(ShapeProblem::CannotRead,
                       QStringLiteral("Cannot read the area file %1: %2").arg(name, session.LastError()));
    OGRLayer* layer = dataset->GetLayerCount() == 1 ? dataset->GetLayer(0) : nullptr;
    std::unique_ptr<OGRFeature> feature(layer ? layer->GetNextFeature() : nullptr);
    const OGRGeometry* geometry = feature ? feature->GetGeometryRef() : nullptr;
    const auto type = geometry ? wkbFlatten(geometry->getGeometryType()) : wkbUnknown;
    if ((type != wkbPolygon && type != wkbMultiPolygon) || geometry->IsEmpty() || !geometry->IsValid())
        return ShapeResult::Refused(ShapeProblem::CannotRead,
                       QStringLiteral("Cannot read the area file %1: it holds no valid area").arg(name));
    ShapeResult result;
    result.Shape.emplace(std::unique_ptr<OGRGeometry>(geometry->clone()));
    return result;
}
