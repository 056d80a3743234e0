// The area from a file: a route's corridor or a region instead of the
// rectangle the four edges give.
#include "app/main_window.h"
#include "geo/area_shape.h"
#include "geo/tile_cover.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/number_question.h"
#include "platform/number_text.h"
#include "settings/shape_settings.h"
#include "task/stored_shape.h"
#include "task/task_size_estimate.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>

void TForm1::AreaFromFile1Click()
{
    const auto fileName = ChooseFileToOpen(this, QStringLiteral("Area from file:"),
        QStringLiteral("Shapes(*.gpx;*.kml;*.geojson;*.json;*.shp;*.gpkg)|*.gpx;*.kml;*.geojson;*.json;*.shp;*.gpkg"),
        DefaultPath);
    if (!fileName)
        return;
    const auto kilometres = AskNumber(
        QStringLiteral("Corridor on each side of lines and points, in kilometres:"), ReadShapeCorridorKm(), 0, 1000, 3);
    if (!kilometres)
        return;
    WriteShapeCorridorKm(*kilometres);
    const ShapeResult read = ReadShape({*fileName, QString(), *kilometres * 1000});
    if (!read.Ok()) {
        ShowMessage(read.ProblemText);
        return;
    }
    if (!read.Notes.isEmpty())
        ShowMessage(read.Notes.join(u'\n'));
    UseShape(MakeShapedArea(*read.Shape, QString(), QFileInfo(*fileName).fileName(), *kilometres * 1000));
    TaskInputs edges;
    SetEdgesToShapeBounds(edges, *read.Shape);
    Edit1->setText(edges.LeftLongitude);
    Edit3->setText(edges.RightLongitude);
    Edit2->setText(edges.TopLatitude);
    Edit4->setText(edges.BottomLatitude);
    RefreshEstimate();
}

void TForm1::PlainRectangle1Click()
{
    UseShape(nullptr);
    RefreshEstimate();
}

void TForm1::UseShape(std::shared_ptr<const ShapedArea> shape)
{
    shape_ = std::move(shape);
    for (QLineEdit* edge : {Edit1, Edit2, Edit3, Edit4})
        edge->setReadOnly(shape_ != nullptr);
    PlainRectangle1->setEnabled(shape_ != nullptr);
    ShowShape();
}

// "Shape: ride.gpx, corridor 0.5 km, 1,412 tiles" over the edges.
void TForm1::ShowShape()
{
    if (!shape_) {
        GroupBox4->setTitle(QString());
        return;
    }
    QString text = QStringLiteral("Shape: ") + shape_->ShapeName;
    if (shape_->CorridorMetres > 0)
        text += QStringLiteral(", corridor ") + GeneralRealText(shape_->CorridorMetres / 1000) + QStringLiteral(" km");
    const int zoom = Edit5->text().toInt();
    text += QStringLiteral(", ") + GroupedNumber(shape_->CoverAt(zoom)->Count()) + QStringLiteral(" tiles");
    GroupBox4->setTitle(text);
}
