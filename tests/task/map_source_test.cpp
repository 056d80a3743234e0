#include "download/tile_reply_check.h"
#include "platform/app_error.h"
#include "settings/ini_file.h"
#include "support/temp_folder.h"
#include "task/map_sources.h"
#include "task/opened_task.h"
#include "task/start_inputs.h"
#include "task/stored_source.h"
#include "task/tile_usage_policy.h"
#include "task/tiles_in_flight.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {
// A folder of source files, each written as given.
struct SourceFolder {
    TempFolder folder;

    void Write(const char* name, const QByteArray& text) const { folder.Write(QString::fromLatin1(name), text); }
    MapSources Read() const { return ReadMapSources(folder.Path()); }
};

// The one problem that names `fileName`; empty when none does.
QString ProblemOf(const MapSources& sources, const QString& fileName)
{
    for (const QString& problem : sources.Problems)
        if (problem.contains(QDir::separator() + fileName + u':'))
            return problem;
    return {};
}

std::shared_ptr<const MapSource> OrthoSource(const QString& url = QStringLiteral("https://{s}.tiles.example/{z}/{x}/{-y}.jpg"))
{
    MapSource source;
    source.Name = QStringLiteral("Ortho");
    source.Prefix = QStringLiteral("ortho");
    source.Url = url;
    source.Subdomains = {QStringLiteral("a"), QStringLiteral("b")};
    source.Format = TileFormat::Jpeg;
    source.TileSize = 512;
    source.Attribution = QStringLiteral("© Survey Office");
    source.FileName = QStringLiteral("/sources/ortho.ini");
    return std::make_shared<const MapSource>(source);
}
}

TEST(MapSourceAddress, RowsFromTheSouthQuadkeysAndOneSubdomainPerTile)
{
    const QStringList hosts{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    EXPECT_EQ(FillTileAddress(QStringLiteral("http://h/{z}/{x}/{-y}"), 3, 5, 1), "http://h/3/5/6");
    EXPECT_EQ(FillTileAddress(QStringLiteral("http://h/{q}"), 3, 5, 1), "http://h/103");
    EXPECT_EQ(FillTileAddress(QStringLiteral("http://h/{q}"), 0, 0, 0), "http://h/");
    EXPECT_EQ(TileQuadkey(17, 70100, 42800).size(), 17);
    const QString first = FillTileAddress(QStringLiteral("http://{s}.h/{z}/{x}/{y}"), 10, 7, 9, hosts);
    EXPECT_EQ(first, FillTileAddress(QStringLiteral("http://{s}.h/{z}/{x}/{y}"), 10, 7, 9, hosts)) << "same tile, same host";
    QSet<QString> used;
    for (int x = 0; x < 3; ++x)
        used << FillTileAddress(QStringLiteral("{s}"), 10, x, 0, hosts);
    EXPECT_EQ(used.size(), 3) << "neighbours spread over the hosts";
    EXPECT_EQ(FillTileAddress(QStringLiteral("http://h/{z}/{x}/{y}.png"), 4, 8, 5), "http://h/4/8/5.png");
}

TEST(MapSourceFolder, BadFilesAreLeftOutNamingFileAndKeyWhileTheOthersLoad)
{
    SourceFolder sources;
    sources.Write("ortho.ini",
        "; a comment\r\n[Source]\r\nName=Ortho Photos\r\nPrefix=ortho\r\nUrl=https://{s}.img.example/{z}/{x}/{-y}.jpg\r\n"
        "Subdomains=a, b\r\nMinZoom=5\r\nMaxZoom=16\r\nTileSize=512\r\nFormat=jpg\r\nPause=0\r\nMaxConnections=2\r\n"
        "InFlight=4\r\n\r\n[Headers]\r\nX-Api-Key=\"secret\"\r\n");
    sources.Write("plain.ini", "[Source]\nUrl=http://localhost:8080/{z}/{x}/{y}.png\n");
    sources.Write("placeholder.ini", "[Source]\nUrl=http://h/{zoom}/{x}/{y}.png\n");
    sources.Write("nozoom.ini", "[Source]\nUrl=http://h/{x}/{y}.png\n");
    sources.Write("upside.ini", "[Source]\nUrl=http://h/{z}/{x}/{y}.png\nMinZoom=12\nMaxZoom=5\n");
    sources.Write("slash.ini", "[Source]\nPrefix=a/b\nUrl=http://h/{z}/{x}/{y}.png\n");
    sources.Write("twin.ini", "[Source]\nPrefix=ORTHO\nUrl=http://h/{z}/{x}/{y}.png\n");
    sources.Write("builtin.ini", "[Source]\nPrefix=os\nUrl=http://h/{z}/{x}/{y}.png\n");
    sources.Write("format.ini", "[Source]\nUrl=http://h/{z}/{x}/{y}.gif\nFormat=gif\n");
    sources.Write("typo.ini", "[Source]\nUrl=http://h/{z}/{x}/{y}.png\nmaxzoom=3\nSubdomain=a\n");
    sources.Write("nosub.ini", "[Source]\nUrl=http://{s}.h/{z}/{x}/{y}.png\n");

    const MapSources read = sources.Read();
    ASSERT_EQ(read.Names(), QStringList({"Ortho Photos", "plain"}));
    const MapSource& ortho = *read.Find(QStringLiteral("ORTHO photos"));
    EXPECT_EQ(ortho.Subdomains, QStringList({"a", "b"}));
    EXPECT_EQ(ortho.MinZoom, 5);
    EXPECT_EQ(ortho.MaxZoom, 16);
    EXPECT_EQ(ortho.TileSize, 512);
    EXPECT_EQ(ortho.Extension(), "jpg");
    EXPECT_EQ(ortho.PauseMs, 0);
    EXPECT_EQ(ortho.MaxConnections, 2);
    EXPECT_EQ(ortho.InFlight, 4);
    EXPECT_EQ(ortho.Headers, (QList<QPair<QString, QString>>{{"X-Api-Key", "secret"}}));
    EXPECT_EQ(ortho.Host(), "a.img.example");
    EXPECT_EQ(read.Find(QStringLiteral("Plain"))->Prefix, "plain") << "the file stem names it";
    EXPECT_EQ(read.Find(QStringLiteral("satellite")), nullptr);

    const std::vector<std::pair<const char*, const char*>> expected{{"placeholder.ini", "Url holds the unknown placeholder {zoom}"},
        {"nozoom.ini", "Url has no {z}"}, {"upside.ini", "MaxZoom is 5, below MinZoom 12"},
        {"slash.ini", "Prefix a/b holds a path separator"}, {"twin.ini", "Prefix clashes: ORTHO is already the prefix of ortho.ini"},
        {"builtin.ini", "Prefix is os, the prefix of a built-in map type"}, {"format.ini", "Format is gif"},
        {"typo.ini", "Subdomain is not a key of a source"}, {"nosub.ini", "Url holds {s} but the key Subdomains names none"}};
    EXPECT_EQ(read.Problems.size(), qsizetype(expected.size()));
    for (const auto& [file, what] : expected) {
        const QString problem = ProblemOf(read, QString::fromLatin1(file));
        EXPECT_TRUE(problem.contains(QStringLiteral("the key ") + QString::fromUtf8(what))) << file << ": " << problem.toStdString();
        EXPECT_TRUE(problem.endsWith(QStringLiteral("; the source is left out."))) << problem.toStdString();
    }
}

TEST(MapSourceTask, StoresTilesUnderItsPrefixAndExtensionAndRecordsItsTemplate)
{
    TempFolder folder;
    TaskParameters parameters;
    parameters.LeftLongitude = 10, parameters.RightLongitude = 10.5, parameters.TopLatitude = 47, parameters.BottomLatitude = 46.5;
    parameters.Zoom = 9;
    parameters.MapsType = kMapSourceType;
    parameters.Source = OrthoSource();
    parameters.Path = folder.Path();
    parameters.TaskName = QStringLiteral("alps.qtsk");
    const MDTask task(&parameters);
    EXPECT_EQ(task.TileFileName(268, 179), "ortho_268_179_9.jpg");
    EXPECT_EQ(task.TileUrl(268, 179), "https://b.tiles.example/9/268/332.jpg");
    task.WriteTaskFiles();
    EXPECT_TRUE(folder.Read(QStringLiteral("alps_list.txt"))
                    .contains(QStringLiteral("ortho_%1_%2_9.jpg: ").arg(task.MinX).arg(task.MinY).toLatin1()));
    EXPECT_TRUE(folder.Read(QStringLiteral("alps.qtsk"))
                    .startsWith("[MapsType]\r\nMapsType=11\r\n\r\n[Source]\r\nName=Ortho\r\n"
                                "Url=https://{s}.tiles.example/{z}/{x}/{-y}.jpg\r\nAttribution=\xc2\xa9 Survey Office\r\n"
                                "Prefix=ortho\r\nFormat=jpg\r\nTileSize=512\r\nSubdomains=a,b\r\n\r\n[AREA]\r\n"));

    // The tools know its tiles and credit line from the project file alone.
    const OpenedTask opened = OpenTaskReadOnly(folder.File(QStringLiteral("alps.qtsk")));
    EXPECT_EQ(opened.Task->TileFileName(268, 179), "ortho_268_179_9.jpg");
    EXPECT_EQ(opened.Parameters->Source->Attribution, "© Survey Office");
    EXPECT_EQ(opened.Parameters->Source->TileSize, 512);

    // Continuing after the source changed its template says what changed.
    TaskInputs inputs = InputsOfProjectFile(folder.File(QStringLiteral("alps.qtsk")));
    inputs.Source = OrthoSource();
    EXPECT_EQ(ChangedTemplateText(ReadCheckedInputs(inputs)), std::nullopt);
    inputs.Source = OrthoSource(QStringLiteral("https://{s}.tiles.example/v2/{z}/{x}/{-y}.jpg"));
    const auto changed = ChangedTemplateText(ReadCheckedInputs(inputs));
    ASSERT_TRUE(changed.has_value());
    EXPECT_TRUE(changed->contains("Then: https://{s}.tiles.example/{z}/{x}/{-y}.jpg\nNow:  https://{s}.tiles.example/v2/"));
    RecordSourceTemplate(folder.File(QStringLiteral("alps.qtsk")), inputs.Source->Url);
    EXPECT_EQ(ChangedTemplateText(ReadCheckedInputs(inputs)), std::nullopt) << "accepted once, recorded";

    // Another source's task of the same area and name is not continued.
    MapSource other = *OrthoSource();
    other.Name = QStringLiteral("Other");
    inputs.Source = std::make_shared<const MapSource>(other);
    EXPECT_FALSE(ContinuesProject(folder.File(QStringLiteral("alps.qtsk")), inputs));
}

TEST(MapSourceTask, AnOpenStreetMapSourceKeepsEveryGuard)
{
    MapSource osm = *OrthoSource(QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"));
    osm.PauseMs = 0;
    EXPECT_EQ(TilePauseFor(osm).Ms, kOpenStreetMapMinTilePauseMs);
    osm.PauseMs = 2500;
    EXPECT_EQ(TilePauseFor(osm).Ms, 2500);
    EXPECT_EQ(TilePauseFor(*OrthoSource()).Ms, kDefaultTilePauseMs) << "no Pause key: the default pause";
    osm.InFlight = 8;
    EXPECT_EQ(TilesInFlightFor(osm, TilePauseFor(osm)), 1) << "one request at a time for openstreetmap.org";
    MapSource own = *OrthoSource();
    own.PauseMs = 0;
    own.InFlight = 8;
    EXPECT_EQ(TilesInFlightFor(own, TilePauseFor(own)), 8);
    own.InFlight.reset();
    EXPECT_EQ(TilesInFlightFor(own, TilePauseFor(own)), kDefaultTilesInFlight);
    own.PauseMs = 200;
    own.InFlight = 8;
    EXPECT_EQ(TilesInFlightFor(own, TilePauseFor(own)), 1) << "a pause after each tile: one at a time";

    TaskParameters parameters;
    parameters.MapsType = kMapSourceType;
    parameters.Source = std::make_shared<const MapSource>(osm);
    parameters.Zoom = 12;
    EXPECT_EQ(TileUsagePolicyRefusal(parameters, 250), std::nullopt);
    ASSERT_TRUE(TileUsagePolicyRefusal(parameters, 251).has_value());
    EXPECT_TRUE(TileUsagePolicyRefusal(parameters, 251)->contains("https://tile.openstreetmap.org"));
    parameters.Source = OrthoSource();
    EXPECT_EQ(TileUsagePolicyRefusal(parameters, 100000), std::nullopt);
}

TEST(MapSourceReply, AReplyOfAnotherFormatIsNoTile)
{
    const auto reply = [](const QByteArray& contentType, const QByteArray& body) {
        HttpResult result;
        result.Ok = true;
        result.Body = body;
        if (!contentType.isEmpty())
            result.HeaderLines << "Content-Length: 4" << "content-type: " + contentType;
        return result;
    };
    EXPECT_EQ(CheckTileReply(TileFormat::Jpeg, reply("image/jpeg", "....")), std::nullopt);
    EXPECT_EQ(CheckTileReply(TileFormat::Jpeg, reply("", "\xff\xd8\xff\xe0")), std::nullopt);
    EXPECT_EQ(CheckTileReply(TileFormat::Webp, reply("image/webp; q=1", "....")), std::nullopt);
    const auto html = CheckTileReply(TileFormat::Jpeg, reply("text/html; charset=utf-8", "<html>"));
    ASSERT_TRUE(html.has_value());
    EXPECT_EQ(html->Reason, "not a JPEG tile");
    EXPECT_EQ(html->Detail, "not a JPEG tile (Content-Type: text/html; charset=utf-8)");
    EXPECT_EQ(CheckTileReply(TileFormat::Png, reply("image/jpeg", "\xff\xd8"))->Reason, "not a PNG tile");
    EXPECT_EQ(CheckTileReply(TileFormat::Webp, reply("", "\x89PNG\r\n\x1a\n"))->Reason, "not a WebP tile");
}
