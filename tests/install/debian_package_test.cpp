#include "install/installed_tree.h"

#include <QDir>
#include <QRegularExpression>

namespace {
QString Field(const QString& control, const QString& name)
{
    const QRegularExpression field(QStringLiteral("^%1: (.*)$").arg(name), QRegularExpression::MultilineOption);
    return field.match(control).captured(1);
}
}

// The package that `cpack -G DEB` makes of this build, looked at with
// dpkg-deb and judged by lintian.
TEST(DebianPackage, HoldsTheInstallWithFoundDependenciesAndLintianFindsNoFault)
{
    if (const std::string missing = MissingTools({"cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian"}); !missing.empty())
        GTEST_SKIP() << missing;
    TempFolder output;
    const ProgramRun pack = RunProgram(QStringLiteral(TESSALY_CPACK),
        {"-G", "DEB", "-B", output.Path(), "--config", QStringLiteral(TESSALY_BUILD_DIR "/CPackConfig.cmake")});
    ASSERT_EQ(pack.exitCode, 0) << pack.out.toStdString() << pack.err.toStdString();
    const QString deb = output.File(QStringLiteral("tessaly_" TESSALY_VERSION "_amd64.deb"));
    ASSERT_TRUE(QFileInfo::exists(deb)) << QDir(output.Path()).entryList().join(' ').toStdString();

    const QString control = RunProgram("dpkg-deb", {"--field", deb}).out;
    EXPECT_EQ(Field(control, "Package"), "tessaly");
    EXPECT_EQ(Field(control, "Version"), TESSALY_VERSION);
    EXPECT_EQ(Field(control, "Architecture"), "amd64");
    const QString depends = Field(control, "Depends");
    for (const char* library : {"libqt6widgets6", "libcurl4", "libtiff6", "libsqlite3-0", "libc6", "qt6-qpa-plugins",
             "libgdal32", "libgeos-c1v5"})
        EXPECT_TRUE(depends.contains(library)) << library << " in " << depends.toStdString();
    EXPECT_TRUE(control.contains(QRegularExpression("^Description: .+\\n .+", QRegularExpression::MultilineOption)))
        << control.toStdString();

    const QString contents = RunProgram("dpkg-deb", {"--contents", deb}).out;
    for (const char* path : {"./usr/bin/tessaly", "./usr/bin/orvane", "./usr/bin/quiltry",
             "./usr/share/tessaly/ini/config.ini", "./usr/share/tessaly/blankimg/blank.png",
             "./usr/share/applications/org.example.tessaly.desktop", "./usr/share/mime/packages/tessaly.xml",
             "./usr/share/man/man1/quiltry.1.gz", "./usr/share/doc/tessaly/copyright",
             "./usr/share/icons/hicolor/256x256/apps/orvane.png"})
        EXPECT_TRUE(contents.contains(QRegularExpression(QStringLiteral(" %1$").arg(QRegularExpression::escape(path)),
            QRegularExpression::MultilineOption)))
            << path;
    EXPECT_FALSE(contents.contains(QRegularExpression(" \\./usr/share/tessaly/.*\\.(cpp|h)$", QRegularExpression::MultilineOption)));
    // Every file root's, none writable by others.
    EXPECT_FALSE(contents.contains(QRegularExpression("^\\S+ (?!root/root)", QRegularExpression::MultilineOption)))
        << contents.toStdString();

    // Neither errors nor warnings; of the notes (I:) for packagers, none
    // says a program lacks Debian's hardening.
    const ProgramRun lintian = RunProgram("lintian", {"--display-info", "--tag-display-limit", "0", deb},
        QProcessEnvironment::systemEnvironment(), 300000);
    EXPECT_TRUE(lintian.ended);
    EXPECT_FALSE(lintian.out.contains(QRegularExpression("^[EW]: ", QRegularExpression::MultilineOption)))
        << lintian.out.toStdString() << lintian.err.toStdString();
    for (const char* tag : {"hardening-no-bindnow", "hardening-no-fortify-functions", "hardening-no-relro"})
        EXPECT_FALSE(lintian.out.contains(QLatin1String(tag))) << tag << "\n" << lintian.out.toStdString();
}
