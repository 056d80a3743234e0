// `tessaly redownload` through the built program: its exit status and a
// list far larger than the memory it may use.
#include "cli/tessaly_command_fixture.h"

#include <sys/resource.h>

namespace {
// The program may hold this much address space: far less than the list
// below, far more than a run that streams it needs.
constexpr rlim_t kAddressSpaceCap = rlim_t(512) << 20;
constexpr qint64 kHugeListBytes = qint64(256) << 20;

class RedownloadCommandTest : public TessalyCommandTest {
protected:
    QByteArray Line(int n, const QString& base) const
    {
        return (work.File("t/os_" + QString::number(n) + "_7_4.png") + "|" + base + "/4/" + QString::number(n)
            + "/7.png\n").toLocal8Bit();
    }

    Outcome RunCapped(const QStringList& arguments)
    {
        QProcess process;
        process.setChildProcessModifier([] {
            const rlimit cap{kAddressSpaceCap, kAddressSpaceCap};
            setrlimit(RLIMIT_AS, &cap);
        });
        Begin(process, arguments);
        return Finish(process);
    }
};
}

TEST_F(RedownloadCommandTest, ExitsThreeWhenALineWasNotFetchedAndOneWhenNothingCouldRun)
{
    QDir(work.Path()).mkdir("t");
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 500 Oops"); });
    work.Write("t_failed.ftl", Line(8, server.BaseUrl()) + Line(9, server.BaseUrl()));
    const Outcome refused = Run({"redownload", work.File("t_failed.ftl")});
    EXPECT_EQ(refused.Status, 3) << refused.Out.toStdString();
    EXPECT_TRUE(refused.Out.contains("HTTP/1.1 500 Oops->")) << refused.Out.toStdString();
    EXPECT_TRUE(refused.Out.endsWith("Download End.\n")) << refused.Out.toStdString();

    const QString nobody = "http://127.0.0.1:" + QString::number(LoopbackHttpServer::UnusedPort());
    work.Write("nobody.ftl", Line(8, nobody) + Line(9, nobody));
    EXPECT_EQ(Run({"redownload", work.File("nobody.ftl")}).Status, 3);

    const Outcome missing = Run({"redownload", work.File("missing.ftl")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Err.toStdString(), ("Cannot open file " + work.File("missing.ftl") + "\n").toStdString());
    EXPECT_TRUE(missing.Out.isEmpty());
}

// Read whole, either list would need gigabytes (one of them without end).
TEST_F(RedownloadCommandTest, AHugeLineWithoutBreaksIsStreamedWithinACapOfItsMemory)
{
    QDir(work.Path()).mkdir("t");
    QFile huge(work.File("huge.ftl"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write(Line(8, server.BaseUrl()));
    ASSERT_TRUE(huge.resize(kHugeListBytes));  // zero bytes, without a line break, that take no disk
    huge.seek(kHugeListBytes);
    huge.write("\n" + Line(9, server.BaseUrl()));
    huge.close();
    const Outcome streamed = RunCapped({"redownload", work.File("huge.ftl")});
    EXPECT_EQ(streamed.Status, 0) << streamed.Err.toStdString();
    EXPECT_TRUE(streamed.Out.contains("Skipped, a line longer than 65536 bytes: ")) << streamed.Out.toStdString();
    EXPECT_EQ(server.RequestCount(), 2);
    EXPECT_EQ(work.Read("t/os_9_7_4.png").toStdString(), "tile");

    ASSERT_TRUE(QFile::link("/dev/zero", work.File("zero.ftl")));
    const Outcome endless = RunCapped({"redownload", work.File("zero.ftl")});
    EXPECT_EQ(endless.Status, 1);
    EXPECT_EQ(endless.Err.toStdString(), ("Cannot open file " + work.File("zero.ftl") + "\n").toStdString());
}
