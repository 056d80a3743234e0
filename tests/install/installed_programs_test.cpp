#include "install/installed_tree.h"
#include "support/png_bytes.h"
#include "task/task_fixture.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QThread>

namespace {
const QString kSource = QStringLiteral(TESSALY_SOURCE_DIR) + u'/';
const QStringList kPrograms = {QStringLiteral("tessaly"), QStringLiteral("orvane"), QStringLiteral("quiltry")};
const QStringList kDesktopEntries = {QStringLiteral("org.example.tessaly"), QStringLiteral("org.example.tessaly.orvane"),
    QStringLiteral("org.example.tessaly.quiltry"), QStringLiteral("org.example.tessaly.redownload")};

QByteArray ReadFile(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value of `key` in a desktop entry's main group.
QString DesktopKey(const QString& fileName, const QString& key)
{
    for (const QByteArray& line : ReadFile(fileName).split('\n'))
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    return {};
}

// A run environment with nothing of the tester's own: a fresh HOME, no XDG_CONFIG_HOME.
QProcessEnvironment CleanEnvironment(const QString& home)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}
}

TEST_F(InstalledTree, EveryFileLandsWhereTheDesktopLooksForIt)
{
    for (const QString& program : kPrograms) {
        SCOPED_TRACE(program.toStdString());
        EXPECT_TRUE(QFileInfo(Usr("bin/" + program)).isExecutable());
        EXPECT_TRUE(QFileInfo::exists(Usr("share/man/man1/" + program + ".1.gz")));
        EXPECT_TRUE(QFileInfo::exists(Usr("share/icons/hicolor/scalable/apps/" + program + ".svg")));
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString icon = Usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + program + ".png");
            EXPECT_EQ(QImage(icon).size(), QSize(size, size)) << icon.toStdString();
        }
    }
    for (const QString& shipped : {"blankimg/blank.png", "help/help.html", "ini/config.ini"})
        EXPECT_EQ(ReadFile(Usr("share/tessaly/") + shipped), ReadFile(kSource + "dist/" + shipped)) << shipped.toStdString();
    for (const QString& entry : kDesktopEntries) {
        SCOPED_TRACE(entry.toStdString());
        const QString file = Usr("share/applications/" + entry + ".desktop");
        const QString exec = DesktopKey(file, "Exec");
        EXPECT_TRUE(kPrograms.contains(exec.section(u' ', 0, 0))) << exec.toStdString();
        EXPECT_TRUE(exec.endsWith(" %f"));
        EXPECT_TRUE(kPrograms.contains(DesktopKey(file, "Icon")));
        EXPECT_FALSE(DesktopKey(file, "MimeType").isEmpty());
    }
    EXPECT_EQ(DesktopKey(Usr("share/applications/org.example.tessaly.desktop"), "Exec"), "tessaly %f");
    EXPECT_TRUE(QFileInfo::exists(Usr("share/mime/packages/tessaly.xml")));
    EXPECT_TRUE(QFileInfo::exists(Usr("share/metainfo/org.example.tessaly.metainfo.xml")));
    EXPECT_TRUE(ReadFile(Usr("share/doc/tessaly/copyright")).startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"));
    EXPECT_TRUE(QFileInfo::exists(Usr("share/doc/tessaly/changelog.gz")));
}

TEST_F(InstalledTree, TheDesktopsOwnCheckersAcceptEveryFile)
{
    if (const std::string missing =
            MissingTools({"desktop-file-validate", "update-desktop-database", "appstreamcli", "mandoc", "man", "update-mime-database"});
        !missing.empty())
        GTEST_SKIP() << missing;
    for (const QString& entry : kDesktopEntries) {
        const ProgramRun check = RunProgram("desktop-file-validate", {Usr("share/applications/" + entry + ".desktop")});
        EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
        EXPECT_TRUE(check.out.isEmpty() && check.err.isEmpty()) << check.out.toStdString() << check.err.toStdString();
    }
    const ProgramRun metainfo =
        RunProgram("appstreamcli", {"validate", "--no-net", "--pedantic", Usr("share/metainfo/org.example.tessaly.metainfo.xml")});
    EXPECT_EQ(metainfo.exitCode, 0) << metainfo.out.toStdString() << metainfo.err.toStdString();
    EXPECT_FALSE(metainfo.out.contains(QRegularExpression("^[EWI]: ", QRegularExpression::MultilineOption)))
        << metainfo.out.toStdString();
    for (const QString& program : kPrograms) {
        const ProgramRun lint = RunProgram("mandoc", {"-T", "lint", "-W", "style", Usr("share/man/man1/" + program + ".1.gz")});
        EXPECT_EQ(lint.exitCode, 0) << lint.out.toStdString() << lint.err.toStdString();
        EXPECT_TRUE(lint.out.isEmpty() && lint.err.isEmpty()) << lint.out.toStdString() << lint.err.toStdString();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "C.UTF-8");
        environment.insert("MANWIDTH", "80");
        const ProgramRun format =
            RunProgram("man", {"--warnings", "-E", "UTF-8", "-l", Usr("share/man/man1/" + program + ".1.gz")}, environment);
        EXPECT_EQ(format.exitCode, 0);
        EXPECT_TRUE(format.err.isEmpty()) << format.err.toStdString();
        EXPECT_TRUE(format.out.contains("EXIT STATUS"));
    }
    // The type database built from our file alone knows both endings.
    const ProgramRun mime = RunProgram("update-mime-database", {Usr("share/mime")});
    ASSERT_EQ(mime.exitCode, 0) << mime.err.toStdString();
    const QByteArray globs = ReadFile(Usr("share/mime/globs2"));
    EXPECT_TRUE(globs.contains(":application/x-tessaly-task:*.qtsk")) << globs.constData();
    // Only our failed lists: other programs' .ftl files are none of ours.
    EXPECT_TRUE(globs.contains(":application/x-tessaly-failed-list:*_failed.ftl")) << globs.constData();
    EXPECT_FALSE(globs.contains(":*.ftl")) << globs.constData();
    EXPECT_TRUE(ReadFile(Usr("share/mime/magic")).contains("application/x-tessaly-failed-list"));
    if (MissingTools({"gio"}).empty()) {
        // What a file manager sees: our names and our records, never another program's .ftl.
        TempFolder files;
        const QByteArray record = "/home/u/maps/alps/os_1_2_3.png|https://tiles.example/3/1/2.png\r\n";
        const QList<std::pair<QString, QByteArray>> cases = {{"alps_failed.ftl", record}, {"renamed.ftl", record},
            {"messages.ftl", "hello = Hello, world!\n"}};
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_DIRS", Usr("share"));
        environment.insert("XDG_DATA_HOME", files.File("none"));
        for (const auto& [name, content] : cases) {
            QFile file(files.File(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
            file.close();
            const ProgramRun type = RunProgram("gio", {"info", "-a", "standard::content-type", files.File(name)}, environment);
            EXPECT_EQ(type.out.contains("application/x-tessaly-failed-list"), name != "messages.ftl") << name.toStdString();
        }
    }
    // Without a choice of the user's, the first entry of the cache opens a task: the main program.
    ASSERT_EQ(RunProgram("update-desktop-database", {Usr("share/applications")}).exitCode, 0);
    const QByteArray cache = ReadFile(Usr("share/applications/mimeinfo.cache"));
    EXPECT_TRUE(cache.contains("\napplication/x-tessaly-task=org.example.tessaly.desktop;org.example.tessaly.orvane.desktop;"
                               "org.example.tessaly.quiltry.desktop;\n"))
        << cache.constData();
    EXPECT_TRUE(cache.contains("\napplication/x-tessaly-failed-list=org.example.tessaly.redownload.desktop;\n"));
}

TEST_F(InstalledTree, InstalledProgramsMakeTheUsersSettingsAndFindTheShippedFiles)
{
    TempFolder home;
    const QString userConfig = home.File(".config/tessaly/config.ini");
    QProcess window;
    window.setProcessEnvironment(CleanEnvironment(home.Path()));
    window.start(Usr("bin/tessaly"), {});
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(userConfig) && waited.elapsed() < 30000 && window.state() != QProcess::NotRunning)
        QThread::msleep(50);
    window.kill();
    window.waitForFinished();
    EXPECT_EQ(ReadFile(userConfig), ReadFile(kSource + "dist/ini/config.ini")) << window.readAllStandardError().constData();
    EXPECT_EQ(QFileInfo(userConfig).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    // A task of 3 x 3 tiles, one of them the shipped blank image: the
    // installed combiner tells it apart only when it finds the share folder.
    ExampleTask example;
    MDTask task(&example.parameters);
    task.WriteProjectFile();
    task.CreateFailedTileList();
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    for (int x = task.MinX; x <= task.MaxX; ++x)
        for (int y = task.MinY; y <= task.MaxY; ++y) {
            QFile tile(task.TileFilePath(x, y));
            ASSERT_TRUE(tile.open(QIODevice::WriteOnly));
            tile.write(x == task.MinX && y == task.MinY ? ReadFile(kSource + "dist/blankimg/blank.png") : PngBytes(image));
        }
    const QString blankName = QFileInfo(task.TileFilePath(task.MinX, task.MinY)).fileName();
    const ProgramRun combine = RunProgram(Usr("bin/quiltry"),
        {example.parameters.Path + example.parameters.TaskName, "-o", example.folder.File("area.png")},
        CleanEnvironment(home.Path()));
    EXPECT_EQ(combine.exitCode, 0) << combine.err.toStdString();
    EXPECT_TRUE(combine.err.contains("blank: " + blankName)) << combine.err.toStdString();
    EXPECT_EQ(QImage(example.folder.File("area.png")).size(), QSize(3 * 256, 3 * 256));
}

// Each option a program's usage names is in its manual page, so a new option
// cannot go undocumented. A program still without a command line opens its
// window on --help and is passed over.
TEST(ManualPages, NameEveryOptionTheProgramsUsageNames)
{
    const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString program : {QStringLiteral("tessaly"), QStringLiteral("quiltry")}) {
        SCOPED_TRACE(program.toStdString());
        const ProgramRun help =
            RunProgram(QStringLiteral(TESSALY_BUILD_DIR "/bin/") + program, {"--help"}, environment, 10000);
        if (!help.ended)
            continue;
        EXPECT_EQ(help.exitCode, 0);
        const QString page = QString::fromUtf8(ReadFile(kSource + "packaging/man/" + program + ".1")).replace("\\-", "-");
        const QString usage = help.out + help.err;
        int named = 0;
        for (const QRegularExpressionMatch& match : option.globalMatch(usage)) {
            ++named;
            EXPECT_TRUE(page.contains(QRegularExpression(
                "(?<![\\w-])" + QRegularExpression::escape(match.captured()) + "(?![\\w-])")))
                << match.captured().toStdString();
        }
        EXPECT_GT(named, 1) << usage.toStdString();
    }
}
