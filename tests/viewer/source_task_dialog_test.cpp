#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "run/task_start.h"
#include "support/temp_folder.h"
#include "task/start_check.h"
#include "viewer/drawn_area_task.h"
#include "viewer/window/new_task_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {
// A sources folder beside the configuration file, as the main program reads
// it, with one source of zoom levels 3 to 5.
class SourceTaskDialogTest : public testing::Test {
protected:
    SourceTaskDialogTest()
    {
        OverrideExecutableFolder(exe.Path());
        QDir(exe.Path()).mkpath(QStringLiteral("ini/sources"));
        QDir(exe.Path()).mkpath(QStringLiteral("blankimg"));
        exe.Write("ini/config.ini", "[Servers]\r\nMapnik=http://127.0.0.1:9/{z}/{x}/{y}.png\r\n");
        exe.Write("ini/sources/ortho.ini", "[Source]\nName=Ortho\nPrefix=or\nUrl=http://127.0.0.1:9/o/{z}/{x}/{y}.jpg\n"
                                           "MinZoom=3\nMaxZoom=5\nFormat=jpg\nAttribution=Ortho Office\n");
        InterceptMessages([this](MessageKind, const QString& text) { messages << text; });
    }
    ~SourceTaskDialogTest() override
    {
        InterceptMessages(nullptr);
        OverrideExecutableFolder(QString());
    }

    TaskMapChoice Ortho() const { return TaskMapChoices(ReadMapSources()).last(); }

    // What `tessaly new NAME --area ... --zoom Z --map Ortho` writes: the
    // start's checks, then the prepared task's project file.
    QByteArray WrittenByTheStart(const GeoArea& area, int zoom, const QString& name)
    {
        TaskInputs inputs;
        inputs.LeftLongitude = GeneralRealText(area.Left);
        inputs.RightLongitude = GeneralRealText(area.Right);
        inputs.TopLatitude = GeneralRealText(area.Top);
        inputs.BottomLatitude = GeneralRealText(area.Bottom);
        inputs.Zoom = zoom;
        inputs.MapsType = kMapSourceType;
        inputs.Source = Ortho().Source;
        inputs.TypedFolder = WithTrailingSeparator(QDir::toNativeSeparators(work.Path()));
        inputs.TypedTaskName = name;
        const QList<CheckedInputs> members = ReadSeriesStart(inputs, zoom);
        const StartSettings settings = ReadStartSettings();
        CheckStart(members, settings.Servers, [](qint64, int) { return true; });
        PrepareTask(members.first(), settings).Task->WriteProjectFile();
        return work.Read(name);
    }

    TempFolder exe;
    TempFolder work;
    QStringList messages;
};

const GeoArea kArea{10.0, 40.0, 50.0, 30.0};
}

TEST_F(SourceTaskDialogTest, TheDialogOffersTheSourcesWithinTheirZoomLimitsAndWritesWhatTheStartWrites)
{
    NewTaskDialog dialog(kArea, 10, 12, MAPNIK, work.Path(), nullptr);
    QStringList offered;
    for (int i = 0; i < dialog.Map()->count(); ++i)
        offered << dialog.Map()->itemText(i);
    EXPECT_EQ(offered, (QStringList{"MAPNIK", "OSMARENDER", "CYCLE", "Ortho"}));
    EXPECT_EQ(dialog.Map()->currentText(), "MAPNIK");
    EXPECT_EQ(dialog.Zoom()->maximum(), 18);

    dialog.ChooseMap(kMapSourceType, QStringLiteral("ORTHO"));
    EXPECT_EQ(dialog.Map()->currentText(), "Ortho");
    EXPECT_EQ(dialog.Zoom()->minimum(), 3);
    EXPECT_EQ(dialog.Zoom()->maximum(), 5);
    EXPECT_EQ(dialog.ZoomTo()->maximum(), 5);
    EXPECT_EQ(dialog.Zoom()->value(), 5) << "zoom 10 is brought within the source's levels";
    dialog.Zoom()->setValue(4);
    EXPECT_EQ(dialog.ZoomTo()->value(), 4);

    dialog.TaskName()->setText(QStringLiteral("ortho"));
    dialog.accept();
    ASSERT_EQ(dialog.WrittenFiles(), QStringList{work.File("ortho.qtsk")}) << messages.join('\n').toStdString();
    const QByteArray fromDialog = work.Read("ortho.qtsk");
    EXPECT_TRUE(fromDialog.contains("[Source]\r\nName=Ortho\r\n")) << fromDialog.toStdString();
    ASSERT_TRUE(QFile::remove(work.File("ortho.qtsk")));
    EXPECT_EQ(fromDialog, WrittenByTheStart(kArea, 4, QStringLiteral("ortho.qtsk")));

    // Back to a built-in map: its zoom levels and no source recorded.
    dialog.Map()->setCurrentIndex(0);
    EXPECT_EQ(dialog.Zoom()->maximum(), 18);
}

TEST_F(SourceTaskDialogTest, AZoomOutsideTheSourcesLimitsIsRefusedForARectangleAndADrawnArea)
{
    const TaskMapChoice ortho = Ortho();
    const TaskParameters rectangle = SelectionTaskParameters(kArea, 7, kMapSourceType, work.Path(), "r.qtsk", nullptr,
                                                             ortho.Source);
    const auto refusal = [](int zoom) {
        return QStringLiteral("The map source Ortho has tiles from zoom level 3 to 5 only; zoom level %1 is outside them.")
            .arg(zoom);
    };
    EXPECT_EQ(MapSourceRefusal(rectangle), refusal(7));
    EXPECT_EQ(MapSourceRefusal(SelectionTaskParameters(kArea, 5, kMapSourceType, work.Path(), "r.qtsk", nullptr,
                                                       ortho.Source)),
              std::nullopt);
    EXPECT_EQ(MapSourceRefusal(SelectionTaskParameters(kArea, 7, MAPNIK, work.Path(), "r.qtsk")), std::nullopt);

    const ShapeResult drawn =
        DrawnAreaShape(QPolygonF{{QPointF(530, 330), QPointF(600, 340), QPointF(560, 390)}}, 10);
    ASSERT_TRUE(drawn.Ok()) << drawn.ProblemText.toStdString();
    const auto shape = DrawnArea(*drawn.Shape);
    const GeoArea bounds = AreaOfMapRect(QRectF(QPointF(530, 330), QPointF(600, 390)), 10);
    const auto yes = [](qint64, int) { return true; };
    try {
        WriteDrawnAreaTasks(bounds, shape, 6, 7, ortho, WithTrailingSeparator(work.Path()), "drawn", yes);
        ADD_FAILURE() << "zoom levels 6 and 7 were accepted";
    } catch (const Refusal& error) {
        EXPECT_EQ(error.Messages(), QStringList{refusal(6)});
    }
    EXPECT_EQ(QDir(work.Path()).entryList(QDir::Files), QStringList()) << "a refused start writes nothing";

    const QStringList written =
        WriteDrawnAreaTasks(bounds, shape, 4, 5, ortho, WithTrailingSeparator(work.Path()), "drawn", yes);
    ASSERT_EQ(written.size(), 2);
    for (const QString& member : written)
        EXPECT_TRUE(work.Read(QFileInfo(member).fileName()).contains("[Source]\r\nName=Ortho\r\n")) << member.toStdString();
}
