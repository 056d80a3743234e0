#include "platform/app_error.h"
#include "settings/ini_file.h"
#include "support/hostile_files.h"
#include "support/nearly_full_disk.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {
const QByteArray kHandWritten =
    "; written by hand\n"
    "orphan=outside any section\n"
    "[IniParas]\n"
    "  DefaultPath =  /home/me/maps  \n"
    "Version=\"6.0\"\n"
    "Quoted='single'\n"
    "Unbalanced=\"open\n"
    "NoEquals\n"
    "\n"
    "[ Proxy ]\n"
    "UseProxy = 0x1\n"
    "ProxyPort=$1F90\n"
    "Negative=-12\n"
    "TooBig=2147483648\n"
    "Empty=\n"
    "[iniparas]\n"
    "DefaultPath=second section loses\n";
}

TEST(TIniFileRead, HandWrittenFilesReadLikeTheWindowsProfileFunctions)
{
    TempFolder folder;
    folder.Write("config.ini", kHandWritten);
    const TIniFile ini(folder.File("config.ini"));

    EXPECT_EQ(ini.ReadString("iniparas", "defaultpath", "x"), "/home/me/maps");
    EXPECT_EQ(ini.ReadString("IniParas", "Version", "5.52"), "6.0");
    EXPECT_EQ(ini.ReadString("IniParas", "Quoted", ""), "single");
    EXPECT_EQ(ini.ReadString("IniParas", "Unbalanced", ""), "\"open");
    EXPECT_EQ(ini.ReadString("IniParas", "orphan", "default"), "default");
    EXPECT_EQ(ini.ReadString("IniParas", "NoEquals", "default"), "default");
    EXPECT_EQ(ini.ReadString("Proxy", "Empty", "default"), "");
    EXPECT_EQ(ini.ReadString("Proxy", "Missing", "default"), "default");
    EXPECT_EQ(ini.ReadString("Nowhere", "UseProxy", "default"), "default");
}

TEST(TIniFileRead, IntegersAcceptSignAndHexadecimalAndFallBackToTheDefault)
{
    TempFolder folder;
    folder.Write("config.ini", kHandWritten);
    const TIniFile ini(folder.File("config.ini"));

    EXPECT_EQ(ini.ReadInteger("Proxy", "UseProxy", 0), 1);
    EXPECT_EQ(ini.ReadInteger("Proxy", "ProxyPort", 0), 8080);
    EXPECT_EQ(ini.ReadInteger("Proxy", "Negative", 0), -12);
    EXPECT_EQ(ini.ReadInteger("Proxy", "TooBig", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Proxy", "Empty", 7), 7);
    EXPECT_EQ(ini.ReadInteger("IniParas", "Version", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Proxy", "Missing", 100), 100);
}

TEST(TIniFileRead, MissingEmptyOrBinaryFilesGiveDefaults)
{
    TempFolder folder;
    EXPECT_EQ(TIniFile(folder.File("none.ini")).ReadString("A", "B", "d"), "d");
    folder.Write("empty.ini", "");
    EXPECT_EQ(TIniFile(folder.File("empty.ini")).ReadInteger("A", "B", 5), 5);
    folder.Write("binary.ini", QByteArray("\x00\xff[A\x00]\r\n\x01=\x02\r\nB", 14));
    EXPECT_EQ(TIniFile(folder.File("binary.ini")).ReadInteger("A", "B", 5), 5);
    folder.Write("truncated.ini", "[THREADS]\r\nT1X=12");
    EXPECT_EQ(TIniFile(folder.File("truncated.ini")).ReadInteger("threads", "t1x", 0), 12);
}

TEST(TIniFileRead, LongValuesAreCutAt2047Characters)
{
    TempFolder folder;
    folder.Write("long.ini", "[A]\r\nB=" + QByteArray(3000, 'v') + "\r\n");
    EXPECT_EQ(TIniFile(folder.File("long.ini")).ReadString("A", "B", "").size(), 2047);
}

TEST(TIniFileWrite, ReplacesOneValueAndKeepsEveryOtherLineAsItWas)
{
    TempFolder folder;
    folder.Write("config.ini", kHandWritten);
    TIniFile ini(folder.File("config.ini"));

    ini.WriteString("PROXY", "useproxy", "0");
    QByteArray expected = kHandWritten;
    expected.replace("UseProxy = 0x1\n", "useproxy=0\n");
    EXPECT_EQ(folder.Read("config.ini"), expected);
}

TEST(TIniFileWrite, AddsKeysAfterTheSectionsLastLineAndNewSectionsAtTheEnd)
{
    TempFolder folder;
    folder.Write("p.qtsk", "[THREADS]\r\nThreadCount=2\r\nT1X=\r\n\r\n[Zoom]\r\nZoom=3");
    TIniFile ini(folder.File("p.qtsk"));

    ini.WriteInteger("THREADS", "T1X", 841);
    ini.WriteInteger("THREADS", "T1Y", 387);
    ini.WriteString("Zoom", "Note", "x");
    ini.WriteString("New", "Key", " spaced ");
    EXPECT_EQ(folder.Read("p.qtsk"),
        "[THREADS]\r\nThreadCount=2\r\nT1X=841\r\nT1Y=387\r\n\r\n[Zoom]\r\nZoom=3\r\nNote=x\r\n"
        "[New]\r\nKey= spaced \r\n");
    EXPECT_EQ(ini.ReadString("New", "Key", ""), "spaced");
}

TEST(TIniFileWrite, CreatesTheFileButNotItsFolder)
{
    TempFolder folder;
    TIniFile created(folder.File("config.ini"));
    created.WriteString("IniParas", "DefaultPath", "/maps");
    created.WriteInteger("Proxy", "UseProxy", 1);
    EXPECT_EQ(folder.Read("config.ini"), "[IniParas]\r\nDefaultPath=/maps\r\n[Proxy]\r\nUseProxy=1\r\n");

    const QString missing = folder.File("ini/config.ini");
    try {
        TIniFile(missing).WriteString("IniParas", "DefaultPath", "/maps");
        FAIL() << "a write into a missing folder must fail";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + QDir::toNativeSeparators(missing) + ": No such file or directory");
    }
}

TEST(TIniFileWrite, AFileThatCannotBeReadIsNotReplaced)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    TempFolder folder;
    folder.Write("config.ini", "[IniParas]\r\nDefaultPath=/maps\r\n");
    QFile::setPermissions(folder.File("config.ini"), QFile::WriteOwner);
    EXPECT_THROW(TIniFile(folder.File("config.ini")).WriteString("Proxy", "UseProxy", "1"), AppError);
    QFile::setPermissions(folder.File("config.ini"), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(folder.Read("config.ini"), "[IniParas]\r\nDefaultPath=/maps\r\n");
}

namespace {
struct Write {
    QString section, key, value;
};

// The writes of one position save, and a few whose text a read takes apart
// differently from how it was meant.
const QList<Write> kPositionSave = [] {
    QList<Write> writes;
    for (int n = 1; n <= 8; ++n) {
        writes.append({"THREADS", QString("T%1X").arg(n), QString::number(1000 + n)});
        writes.append({"threads", QString("t%1y").arg(n), QString::number(2000 + n)});
    }
    return writes;
}();
const QList<Write> kAwkwardWrites{{"New", "A", "1"}, {"IniParas", "Added", "x"}, {"New", "B", "2"},
    {"New", "A", "3"}, {"Other", "Line", "a\r\n[IniParas]\r\nAdded=hidden"}, {"IniParas", "Added", "y"},
    {"Odd]Name", "K", "1"}, {"Odd]Name", "K", "2"}, {"Proxy", "k=v", "1"}, {"Proxy", "k=v", "2"},
    {"Proxy", "[k", "1"}, {"Proxy", "[k", "2"}, {"Proxy", "ProxyPort", "1"}};
}

// One replace of the file for many writes must leave exactly the bytes that
// the same writes made one by one, each after a fresh read, leave.
TEST(TIniFileWrite, WritesMadeAtOnceLeaveTheBytesOfSingleWrites)
{
    const QList<QByteArray> files{"", "[THREADS]", "[THREADS]\r\nThreadCount=8\r\nT1X=\r\nT1Y=\r\n\r\n",
        "[XY]\r\nMinX=1\r\n\r\n[THREADS]\r\nT2Y=5\r\n\r\n\r\n[threads]\r\nT3X=9\r\n", "no section",
        "[THREADS]\nT1X=1\rT1Y=2", kHandWritten, kHandWritten + "tail"};
    for (const QList<Write>& writes : {kPositionSave, kAwkwardWrites}) {
        for (const QByteArray& original : files) {
            TempFolder folder;
            folder.Write("single.ini", original);
            folder.Write("batch.ini", original);
            for (const Write& write : writes)
                TIniFile(folder.File("single.ini")).WriteString(write.section, write.key, write.value);
            TIniFile batch(folder.File("batch.ini"));
            batch.WriteAtOnce([&] {
                for (const Write& write : writes)
                    batch.WriteString(write.section, write.key, write.value);
            });
            EXPECT_EQ(folder.Read("batch.ini"), folder.Read("single.ini")) << original.toStdString();
            const TIniFile reread(folder.File("single.ini"));
            for (const Write& write : writes) {
                EXPECT_EQ(batch.ReadString(write.section, write.key, "?"), reread.ReadString(write.section, write.key, "?"))
                    << original.toStdString() << " " << write.key.toStdString();
            }
        }
    }
}

TEST(TIniFileWrite, WritesMadeAtOnceReachTheFileOnlyWhenAllAreMade)
{
    TempFolder folder;
    folder.Write("p.qtsk", "[THREADS]\r\nT1X=\r\n");
    TIniFile project(folder.File("p.qtsk"));
    EXPECT_THROW(project.WriteAtOnce([&] {
        project.WriteInteger("THREADS", "T1X", 5);
        throw AppError("stopped half-way");
    }), AppError);
    EXPECT_EQ(folder.Read("p.qtsk"), "[THREADS]\r\nT1X=\r\n");
    EXPECT_EQ(project.ReadInteger("THREADS", "T1X", 0), 0);
}

TEST(TIniFileOnAFullDisk, AWriteThatDoesNotFitLeavesTheFileAndSaysWhy)
{
    NearlyFullDisk disk;
    const QByteArray project = "[AREA]\r\nLeftLongitude=116\r\n\r\n[THREADS]\r\nThreadCount=8\r\nT1X=\r\nT1Y=\r\n";
    disk.Write("p.qtsk", project);
    disk.LeaveFree(0);

    TIniFile ini(disk.File("p.qtsk"));
    try {
        ini.WriteAtOnce([&] {
            for (const Write& write : kPositionSave)
                ini.WriteString(write.section, write.key, write.value);
        });
        FAIL() << "the write must fail";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Unable to write to " + QDir::toNativeSeparators(disk.File("p.qtsk")) + ": " + disk.Reason());
    }
    EXPECT_EQ(disk.Read("p.qtsk"), project);
    EXPECT_EQ(ini.ReadString("THREADS", "T1X", "none"), "") << "reads give what the file holds";

    disk.FreeSpace();
    TIniFile(disk.File("p.qtsk")).WriteInteger("THREADS", "T1X", 841);
    EXPECT_EQ(TIniFile(disk.File("p.qtsk")).ReadInteger("threads", "t1x", 0), 841);
    EXPECT_EQ(TIniFile(disk.File("p.qtsk")).ReadString("AREA", "LeftLongitude", ""), "116");
}

// A configuration or project file far beyond any real one, or a pipe at its
// name, reads as empty at once (nothing read whole, nothing waited on) and
// is never replaced by a write.
TEST(TIniFileRead, HugeFilesAndPipesReadAsEmptyAndAreNotWritten)
{
    TempFolder folder;
    folder.Write("huge.ini", "[A]\r\nB=7\r\n");
    ASSERT_TRUE(QFile(folder.File("huge.ini")).resize(qint64(1) << 30));
    TIniFile huge(folder.File("huge.ini"));
    EXPECT_EQ(huge.ReadInteger("A", "B", 5), 5);
    EXPECT_THROW(huge.WriteInteger("A", "B", 6), AppError);
    EXPECT_EQ(QFile(folder.File("huge.ini")).size(), qint64(1) << 30);

    ASSERT_TRUE(hostile::MakeFifo(folder.File("pipe.ini")));
    TIniFile pipe(folder.File("pipe.ini"));
    EXPECT_EQ(pipe.ReadString("A", "B", "d"), "d");
    EXPECT_THROW(pipe.WriteInteger("A", "B", 6), AppError);
}
