#include "platform/app_error.h"
#include "platform/text_files.h"
#include "support/hostile_files.h"
#include "support/nearly_full_disk.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <functional>
#include <set>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

TEST(TextFiles, LinesEndInCrLfAndNoLinesGiveAnEmptyFile)
{
    TempFolder folder;
    WriteTextLines(folder.File("a.txt"), {"one", "", "three"});
    EXPECT_EQ(folder.Read("a.txt"), "one\r\n\r\nthree\r\n");
    WriteTextLines(folder.File("a.txt"), {});
    EXPECT_EQ(folder.Read("a.txt"), "");
}

TEST(TextFiles, SplitAcceptsEveryLineEnd)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(SplitTextLines("\n"), QStringList({""}));
    EXPECT_TRUE(SplitTextLines("").isEmpty());
}

TEST(TextFiles, FailuresNameTheFile)
{
    TempFolder folder;
    const QString missing = folder.File("gone/list.txt");
    try {
        WriteTextLines(missing, {"x"});
        FAIL();
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + missing + ": No such file or directory");
    }
    try {
        ReadTextLines(missing);
        FAIL();
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + missing);
    }
}

TEST(TextFiles, AnUnfinishedWriteLeavesTheOldFileWhole)
{
    TempFolder folder;
    folder.Write("log.txt", "old\r\n");
    {
        TextLineWriter writer(folder.File("log.txt"));
        for (int i = 0; i < 100000; ++i)
            writer.WriteLine(QByteArray("a line that is long enough to be flushed to disk early"));
        // Destroyed without Commit, as when an error ends the write half-way.
    }
    EXPECT_EQ(folder.Read("log.txt"), "old\r\n");
}

// Lines come one at a time whatever their ends and wherever the reads cut
// the file; a line over the cap keeps only its start and says so.
TEST(TextFiles, TheLineReaderSplitsLikeSplitTextLinesAndCapsEveryLine)
{
    TempFolder folder;
    QByteArray text = "a\r\nb\nc\rd\r\n\r\n";
    text += QByteArray(256 * 1024 - text.size() - 1, 'e') + "\r\nf\r";  // CR LF across two reads
    text += QByteArray(300000, 'g') + "\nh";
    folder.Write("list.txt", text);
    TextLineReader reader(folder.File("list.txt"), 100000);
    QStringList lines;
    QList<bool> tooLong;
    while (const auto line = reader.Next()) {
        lines << line->Text;
        tooLong << line->TooLong;
    }
    const QStringList whole = SplitTextLines(text);
    ASSERT_EQ(lines.size(), whole.size());
    for (qsizetype i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(lines[i], whole[i].left(100000)) << i;
        EXPECT_EQ(tooLong[i], whole[i].size() > 100000) << i;
    }
    EXPECT_THROW(TextLineReader(folder.File("none.txt"), 10), AppError);
}

// A link at the file's name, which anyone who may write in the folder can
// plant, is replaced by the new file; the file it points at is not touched.
TEST(TextFiles, AWriteReplacesALinkAtItsNameAndNeverWritesThroughIt)
{
    TempFolder folder;
    folder.Write("victim.txt", "victim");
    ASSERT_TRUE(QFile::link(folder.File("victim.txt"), folder.File("task.txt")));
    WriteTextLines(folder.File("task.txt"), {"new"});
    EXPECT_EQ(folder.Read("victim.txt"), "victim");
    EXPECT_FALSE(QFileInfo(folder.File("task.txt")).isSymLink());
    EXPECT_EQ(folder.Read("task.txt"), "new\r\n");
}

// The growing log is appended to in place: a link planted at its name is
// refused, never appended through.
TEST(TextFiles, AppendingRefusesALinkAtTheNameAndCreatesAMissingFile)
{
    TempFolder folder;
    folder.Write("victim.txt", "victim");
    ASSERT_TRUE(QFile::link(folder.File("victim.txt"), folder.File("log.txt")));
    QFile linked(folder.File("log.txt"));
    EXPECT_THROW(OpenForAppend(linked), FileWriteError);
    EXPECT_EQ(folder.Read("victim.txt"), "victim");

    QFile fresh(folder.File("new_log.txt"));
    OpenForAppend(fresh);
    ASSERT_TRUE(WriteAll(fresh, "a\r\n"));
    fresh.close();
    QFile again(folder.File("new_log.txt"));
    OpenForAppend(again);
    ASSERT_TRUE(WriteAll(again, "b\r\n"));
    again.close();
    EXPECT_EQ(folder.Read("new_log.txt"), "a\r\nb\r\n");
}

// A pipe at a task file's name (no reader, no writer) is refused at once by
// the appender and the line reader alike; waiting on it would hold the run.
TEST(TextFiles, AppendingAndLineReadingRefuseAPipeWithoutWaiting)
{
    TempFolder folder;
    ASSERT_TRUE(hostile::MakeFifo(folder.File("list.ftl")));
    QFile pipe(folder.File("list.ftl"));
    try {
        OpenForAppend(pipe);
        ADD_FAILURE() << "a pipe was opened";
    } catch (const FileWriteError& error) {
        EXPECT_EQ(error.Reason(), "not a regular file");
    }
    EXPECT_THROW(TextLineReader(folder.File("list.ftl"), 100), AppError);
}

// Another user swaps every new file in the folder for a link the moment it
// appears: no write goes through a link and no link takes the file's name.
TEST(TextFiles, LinksRacedInAtTheTemporaryNameAreNeitherFollowedNorRenamed)
{
    TempFolder folder;
    folder.Write("victim.txt", "victim");
    const QByteArray victim = QFile::encodeName(folder.File("victim.txt"));
    const int watch = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(folder.Path()).constData(), IN_CREATE), 0);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        std::set<std::string> planted;
        alignas(inotify_event) char events[4096];
        while (!stop) {
            pollfd ready{watch, POLLIN, 0};
            if (::poll(&ready, 1, 10) <= 0)
                continue;
            const ssize_t length = ::read(watch, events, sizeof events);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const std::string name = event->len ? event->name : "";
                if (name.empty() || name == "task.txt" || !planted.insert(name).second)
                    continue;
                const QByteArray path = QFile::encodeName(folder.Path()) + name.c_str();
                ::unlink(path.constData());
                // A link that cannot be planted (the writer was quicker) is a round it won.
                [[maybe_unused]] const int linked = ::symlink(victim.constData(), path.constData());
            }
        }
    });
    int failed = 0;
    for (int i = 0; i < 50; ++i) {
        try {
            WriteFileAtomically(folder.File("task.txt"), QByteArray("content ") + QByteArray::number(i));
        } catch (const FileWriteError&) {
            ++failed;
        }
    }
    stop = true;
    swapper.join();
    ::close(watch);
    EXPECT_EQ(folder.Read("victim.txt"), "victim");
    EXPECT_FALSE(QFileInfo(folder.File("task.txt")).isSymLink());
    if (failed < 50)
        EXPECT_TRUE(folder.Read("task.txt").startsWith("content "));
}

// Small contents stay below the size at which a buffered write goes to the
// disk at once: their failure shows only when the file is flushed.
TEST(TextFilesOnAFullDisk, NoWriteReplacesAFileUnlessItsNewContentIsWhole)
{
    NearlyFullDisk disk;
    const QString file = disk.File("task.txt");
    WriteTextLines(file, {"old"});
    disk.LeaveFree(4096);

    const auto expectRefused = [&](const std::function<void()>& write) {
        try {
            write();
            ADD_FAILURE() << "the write must fail";
        } catch (const AppError& error) {
            EXPECT_EQ(error.Message(), "Cannot create file " + file + ": " + disk.Reason());
        }
        EXPECT_EQ(disk.Read("task.txt"), "old\r\n");
    };
    expectRefused([&] { WriteFileAtomically(file, QByteArray(12000, 'x')); });
    expectRefused([&] { WriteTextLines(file, QStringList(1000, QString(20, u'y'))); });
    expectRefused([&] {
        TextLineWriter writer(file);
        for (int i = 0; i < 20000; ++i)
            writer.WriteLine(QByteArray(40, 'z'));
        writer.Commit();
    });
    EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{"task.txt"}) << "no temporary file is left";

    disk.FreeSpace();
    WriteFileAtomically(file, QByteArray(12000, 'x'));
    EXPECT_EQ(disk.Read("task.txt"), QByteArray(12000, 'x'));
}
