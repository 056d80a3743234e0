#include "cli/tessaly_command_fixture.h"
#include "support/test_map_source.h"
#include "task/map_type.h"

#include <QBuffer>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <mutex>

namespace {
QByteArray JpegTile(int edge)
{
    QImage image(edge, edge, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return JpegBytes(image);
}

ScriptedReply Reply(const QByteArray& contentType, const QByteArray& body)
{
    return ScriptedReply::Raw("HTTP/1.1 200 OK\r\nContent-Type: " + contentType + "\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\n\r\n" + body,
        false);
}

QByteArray HeaderOf(const QByteArray& head, const QByteArray& name)
{
    for (const QByteArray& line : head.split('\n'))
        if (line.startsWith(name + ": "))
            return line.mid(name.size() + 2).trimmed();
    return {};
}

class MapSourceCommandTest : public TessalyCommandTest {
protected:
    MapSourceCommandTest() { QDir(exe.Path()).mkpath(QStringLiteral("ini/sources")); }

    void WriteSource(const QString& name, const QString& text)
    {
        exe.Write(QStringLiteral("ini/sources/") + name, QString(text).replace(QStringLiteral("%1"), QString::number(server.Port())).toUtf8());
    }

    QStringList StoredTiles(const QString& folder) const
    {
        QStringList names = QDir(work.File(folder)).entryList(QDir::Files);
        names.sort();
        return names;
    }
};

// A TMS layer with quadkeys in its path on two hosts, with its own request
// lines (MaxConnections is counted on one host, below).
const char* const kOrtho =
    "[Source]\nName=Ortho Photos\nPrefix=ortho\nUrl=http://{s}:%1/t/{z}/{x}/{-y}/{q}.jpg\n"
    "Subdomains=127.0.0.1,localhost\nFormat=jpg\nTileSize=512\nUserAgent=OrthoBot/1.0 (ops@example.org)\n"
    "Attribution=(c) Ortho Office\nPause=0\nMaxConnections=2\n\n[Headers]\nX-Api-Key=k123\n";
}

TEST_F(MapSourceCommandTest, SourcesListsEachSourceAndWhyABadFileWasLeftOut)
{
    WriteSource("ortho.ini", kOrtho);
    WriteSource("bad.ini", "[Source]\nUrl=http://h/{z}/{x}/{y}.png\nMinZoom=12\nMaxZoom=5\n");
    WriteSource("local.ini", "[Source]\nUrl=http://localhost:%1/{z}/{x}/{y}.png\nMaxZoom=17\n");
    const Outcome listed = Run({"sources"});
    EXPECT_EQ(listed.Status, 0);
    const QStringList lines = listed.Out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << listed.Out.toStdString();
    EXPECT_EQ(lines[0].simplified(), "NAME PREFIX ZOOM HOST");
    EXPECT_EQ(lines[1].simplified(), "local local 0-17 localhost");
    EXPECT_EQ(lines[2].simplified(), "Ortho Photos ortho 0-19 127.0.0.1");
    EXPECT_TRUE(listed.Err.contains("bad.ini: the key MaxZoom is 5, below MinZoom 12")) << listed.Err.toStdString();

    const Outcome unknown = Run(NewTask("a.qtsk") << "--map" << "satellite");
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(unknown.Err.contains("the sources are local, Ortho Photos")) << unknown.Err.toStdString();
    EXPECT_FALSE(QFile::exists(work.File("a.qtsk")));

    EXPECT_EQ(Run(NewTask("b.qtsk") << "--map" << "ortho PHOTOS").Status, 0);
    EXPECT_EQ(Run(NewTask("c.qtsk") << "--map" << "ortho").Status, 0) << "the file stem names it too";
    EXPECT_TRUE(work.Read("c.qtsk").contains("\r\n[Source]\r\nName=Ortho Photos\r\n"));
    EXPECT_EQ(Run(NewTask("d.qtsk") << "--map" << "CYCLE").Status, 0);
    EXPECT_FALSE(work.Read("d.qtsk").contains("[Source]"));
}

TEST_F(MapSourceCommandTest, ASourceTaskFetchesItsAddressesWithItsOwnRequestLinesAndConnections)
{
    WriteSource("ortho.ini", kOrtho);
    std::mutex mutex;
    QStringList wrong;
    const QByteArray tile = JpegTile(512);
    server.SetResponder([&](const QByteArray& head) {
        // /t/z/x/-y/q.jpg, from the host the tile belongs to.
        const QString path = QString::fromLatin1(head.split(' ').value(1));
        const auto match = QRegularExpression(QStringLiteral("^/t/(\\d+)/(\\d+)/(\\d+)/(\\d*)\\.jpg$")).match(path);
        const int z = match.captured(1).toInt(), x = match.captured(2).toInt();
        const int y = (1 << z) - 1 - match.captured(3).toInt();
        const QString host = QStringList{"127.0.0.1", "localhost"}.value((x + y) % 2) + u':' + QString::number(server.Port());
        if (!match.hasMatch() || match.captured(4) != TileQuadkey(z, x, y) || HeaderOf(head, "Host") != host) {
            const std::lock_guard lock(mutex);
            wrong << path + u' ' + QString::fromLatin1(HeaderOf(head, "Host"));
        }
        return Reply("image/jpeg", tile);
    });

    const Outcome run = Run(NewTask("ortho.qtsk") << "--map" << "Ortho Photos" << "--run");
    EXPECT_EQ(run.Status, 0) << run.Err.toStdString();
    EXPECT_EQ(wrong, QStringList());
    ASSERT_EQ(server.RequestCount(), 10);
    for (const QByteArray& head : server.RequestHeads()) {
        EXPECT_EQ(HeaderOf(head, "User-Agent"), "OrthoBot/1.0 (ops@example.org)");
        EXPECT_EQ(HeaderOf(head, "X-Api-Key"), "k123");
    }
    const QStringList tiles = StoredTiles("ortho");
    ASSERT_EQ(tiles.size(), 10);
    for (const QString& name : tiles)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^ortho_\\d+_\\d+_4\\.jpg$")).match(name).hasMatch()) << name.toStdString();
    EXPECT_EQ(work.Read("ortho/" + tiles.first()), tile);

    // The source moves to another template: the task is not continued on it.
    QString changed = QString::fromLatin1(kOrtho);
    WriteSource("ortho.ini", changed.replace(QStringLiteral("/t/"), QStringLiteral("/v2/t/")));
    const Outcome continued = Run({"run", work.File("ortho.qtsk")});
    EXPECT_EQ(continued.Status, 1);
    EXPECT_TRUE(continued.Err.contains("The map source Ortho Photos has changed its address template since the task ortho.qtsk was started."))
        << continued.Err.toStdString();
    EXPECT_TRUE(continued.Err.contains("The task is not continued"));
    EXPECT_EQ(server.RequestCount(), 10);
}

TEST_F(MapSourceCommandTest, AReplyOfAnotherFormatIsAFailureNeverATile)
{
    WriteSource("plain.ini", "[Source]\nUrl=http://127.0.0.1:%1/{z}/{x}/{y}.png\nPause=0\nMaxConnections=3\n");
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(256, 256, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    server.SetResponder([&](const QByteArray& head) {
        return head.startsWith("GET /4/9/7.png ") ? Reply("text/html", "<html>over quota</html>") : Reply("image/png", png);
    });
    const Outcome run = Run(NewTask("plain.qtsk") << "--map" << "plain" << "--run");
    EXPECT_EQ(run.Status, 3);
    EXPECT_EQ(server.ConnectionsAccepted(), 3) << "MaxConnections=3: three workers, one connection each";
    EXPECT_TRUE(run.Err.contains("not a PNG tile")) << run.Err.toStdString();
    EXPECT_EQ(StoredTiles("plain").size(), 9);
    EXPECT_FALSE(QFile::exists(work.File("plain/plain_9_7_4.png")));
    EXPECT_TRUE(work.Read("plain_failed.ftl").contains("plain_9_7_4.png|" + server.BaseUrl().toLatin1() + "/4/9/7.png"));
    EXPECT_TRUE(work.Read("plain_log.txt").contains("not a PNG tile (Content-Type: text/html)->"));
}

TEST_F(MapSourceCommandTest, ZoomLimitsAndTheOpenStreetMapGuardsHoldForSources)
{
    WriteSource("low.ini", "[Source]\nUrl=http://127.0.0.1:%1/{z}/{x}/{y}.png\nMaxZoom=3\n");
    WriteSource("osm.ini", "[Source]\nUrl=https://tile.openstreetmap.org/{z}/{x}/{y}.png\nPause=0\n");
    const Outcome deep = Run(NewTask("low.qtsk") << "--map" << "low" << "--run");
    EXPECT_EQ(deep.Status, 1);
    EXPECT_TRUE(deep.Err.contains("The map source low has tiles from zoom level 0 to 3 only")) << deep.Err.toStdString();
    const Outcome series = Run(NewTask("series.qtsk", "2-3") << "--map" << "LOW");
    EXPECT_EQ(series.Status, 0) << series.Err.toStdString();
    for (const char* member : {"series_z2.qtsk", "series_z3.qtsk"})
        EXPECT_TRUE(work.Read(member).contains("[Source]\r\nName=low\r\n")) << member;
    EXPECT_EQ(Run(NewTask("over.qtsk", "3-4") << "--map" << "low").Status, 1) << "a series reaching past the limits";
    const Outcome bulk = Run(NewTask("osm.qtsk", "8") << "--map" << "osm" << "--yes");
    EXPECT_EQ(bulk.Status, 1);
    EXPECT_TRUE(bulk.Err.contains("may hold at most 250 tiles")) << bulk.Err.toStdString();
    EXPECT_EQ(server.RequestCount(), 0);
}
