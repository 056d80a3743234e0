#include "platform/file_lock.h"
#include "platform/file_replacement.h"
#include "platform/link_safe_files.h"
#include "support/temp_folder.h"

#include <QFileInfo>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(FileReplacements, AFixedTemporaryNameTakesOverAStaleFileOrLinkWithoutFollowingIt)
{
    const TempFolder folder;
    folder.Write("victim", "keep");
    for (const QByteArray& stale : {QByteArray("link"), QByteArray("file")}) {
        SCOPED_TRACE(stale.constData());
        if (stale == "link")
            ASSERT_TRUE(QFile::link(folder.File("victim"), folder.File("out.part")));
        else
            folder.Write("out.part", "stale content");
        FileReplacement file(folder.File("out"), folder.File("out.part"));
        EXPECT_EQ(file.TemporaryPath(), QFileInfo(folder.File("out.part")).absoluteFilePath());
        EXPECT_FALSE(QFileInfo(folder.File("out.part")).isSymLink());
        file.Write("head");
        file.WriteAt(0, "HE");
        file.Write("tail");
        file.Commit();
        EXPECT_EQ(folder.Read("out"), "HEadtail");
        EXPECT_FALSE(QFile::exists(folder.File("out.part")));
    }
    EXPECT_EQ(folder.Read("victim"), "keep");
}

TEST(FileReplacements, ALibraryGetsAHandleOfItsOwnAtTheStartAndTheOldPermissionsStay)
{
    const TempFolder folder;
    folder.Write("map.tif", "old");
    ASSERT_TRUE(QFile::setPermissions(folder.File("map.tif"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    FileReplacement file(folder.File("map.tif"));
    file.Write("0123456789");
    const int handle = file.DuplicateHandle();
    ASSERT_GE(handle, 0);
    char first[4] = {};
    EXPECT_EQ(::read(handle, first, 3), 3);
    EXPECT_STREQ(first, "012");
    ::close(handle);
    std::FILE* stream = file.DuplicateStream();
    ASSERT_NE(stream, nullptr);
    std::fputs("ab", stream);
    std::fclose(stream);
    file.Commit();
    EXPECT_EQ(folder.Read("map.tif"), "ab23456789");
    EXPECT_EQ(QFile::permissions(folder.File("map.tif")) & (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
}

TEST(FileReplacements, OneLeftUncommittedRemovesOnlyItsOwnTemporaryFile)
{
    const TempFolder folder;
    {
        FileReplacement file(folder.File("a"), folder.File("a.part"));
        file.Write("x");
    }
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files | QDir::System), QStringList());
    {
        FileReplacement file(folder.File("a"), folder.File("a.part"));
        QFile::remove(folder.File("a.part"));
        folder.Write("a.part", "someone else's");
        EXPECT_FALSE(file.StillOurs());
        EXPECT_THROW(file.Commit(), FileWriteError);
    }
    EXPECT_EQ(folder.Read("a.part"), "someone else's");
    EXPECT_FALSE(QFile::exists(folder.File("a")));
}

TEST(FileLocks, ASecondHolderIsToldTheLockIsHeldAndReleaseRemovesTheFile)
{
    const TempFolder folder;
    const QString name = folder.File("task.qtsk.lock");
    FileLock first, second;
    EXPECT_EQ(first.TryLock(name), FileLock::Outcome::Locked);
    EXPECT_EQ(second.TryLock(name), FileLock::Outcome::HeldElsewhere);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_FALSE(QFile::exists(name));
    EXPECT_EQ(second.TryLock(name), FileLock::Outcome::Locked);

    FileLock missing, linked;
    EXPECT_EQ(missing.TryLock(folder.File("gone/task.lock")), FileLock::Outcome::Failed);
    EXPECT_EQ(missing.Problem(), "No such file or directory");
    ASSERT_TRUE(QFile::link(folder.File("victim"), folder.File("linked.lock")));
    EXPECT_EQ(linked.TryLock(folder.File("linked.lock")), FileLock::Outcome::Failed);
    EXPECT_FALSE(QFile::exists(folder.File("victim")));
}

TEST(LinkSafeFiles, NoWriteGoesThroughALinkAndAnExistingFileIsKept)
{
    const TempFolder folder;
    folder.Write("victim", "keep");
    ASSERT_TRUE(QFile::link(folder.File("victim"), folder.File("tile.png")));
    EXPECT_THROW(WriteFileWithoutFollowingLinks(folder.File("tile.png"), "x"), FileWriteError);
    EXPECT_FALSE(CreateFileWithoutFollowingLinks(folder.File("tile.png"), "x"));
    EXPECT_EQ(folder.Read("victim"), "keep");

    EXPECT_TRUE(CreateFileWithoutFollowingLinks(folder.File("blank.png"), "blank"));
    EXPECT_FALSE(CreateFileWithoutFollowingLinks(folder.File("blank.png"), "other"));
    EXPECT_EQ(folder.Read("blank.png"), "blank");
    try {
        CreateFileWithoutFollowingLinks(folder.File("gone/blank.png"), "blank");
        FAIL();
    } catch (const FileWriteError& error) {
        EXPECT_EQ(error.Reason(), "No such file or directory");
    }
}

TEST(LinkSafeFiles, AFolderWalkStopsAtALinkOnTheWay)
{
    const TempFolder folder;
    QDir(folder.Path()).mkpath("real/inner");
    ASSERT_TRUE(QFile::link(folder.File("real"), folder.File("linked")));
    EXPECT_TRUE(OpenFolderWithoutFollowingLinks(folder.Path(), {"real", "inner"}, "x").IsOpen());
    EXPECT_THROW(OpenFolderWithoutFollowingLinks(folder.Path(), {"linked", "inner"}, "x"), FileWriteError);
}
