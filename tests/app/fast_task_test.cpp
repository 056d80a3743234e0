#include "main_window_fixture.h"

#include "settings/ini_file.h"


namespace {
// One worker's lines of the log pane, in the pane's order.
QStringList LinesOfWorker(const QStringList& lines, int threadIndex)
{
    const QString prefix = QStringLiteral("T") + QString::number(threadIndex + 1);
    QStringList own;
    for (const QString& line : lines)
        if (line.startsWith(prefix + u':') || line.startsWith(prefix + u' '))
            own << line;
    return own;
}
}

// A task with no pause after each tile: some 1,600 tiles from eight workers
// as fast as the loopback server answers, one row failing for good.
class FastTaskTest : public MainWindowTest {
protected:
    static constexpr int kFailingRow = 520;

    FastTaskTest()
    {
        WriteConfig("MapnikPause=0\r\n");
        server.SetResponder([](const QByteArray& head) {
            return head.contains("/" + QByteArray::number(kFailingRow) + ".png ")
                ? ScriptedReply::Status("HTTP/1.1 500 Busy")
                : ScriptedReply::Ok("tile");
        });
        EnterArea(*window, "0", "14", "0", "-14");
        window->UpDown1->SetPosition(10);
    }

    QString FailedRecord(int x) const
    {
        return window->Run->CurrentTask()->TileFilePath(x, kFailingRow) + u'|' + window->Run->CurrentTask()->TileUrl(x, kFailingRow);
    }

    // What the monitor would save for each worker must never pass a failed
    // record of that worker that is not yet in the failed-tile pane.
    void CheckWorkerPositions()
    {
        const MDTask& task = *window->Run->CurrentTask();
        const int threadCount = window->Run->CurrentParameters()->ThreadCount;
        const QStringList failed = window->Memo2->Lines();
        if (!window->Run->Running())
            return;
        ++positionChecks;
        for (int i = 0; i < threadCount; ++i) {
            const TilePosition position = window->Run->WorkerPosition(i);
            if (position.X == 0)
                continue;
            for (int x = task.MinX; x <= position.X; ++x) {
                const qint64 place = qint64(x - task.MinX) * (task.MaxY - task.MinY + 1) + (kFailingRow - task.MinY) + 1;
                const bool passed = x < position.X || position.Y >= kFailingRow;
                if (passed && place % threadCount == i && !failed.contains(FailedRecord(x)))
                    ++positionsAheadOfRecords;
            }
        }
    }

    int positionsAheadOfRecords = 0;
    int positionChecks = 0;
};

TEST_F(FastTaskTest, EveryWorkersLinesKeepTheirOrderAndNoSavedPositionPassesAFailedRecord)
{
    // Positions move only when a drain delivers reports, and every tile a
    // drain delivers has its log line: checked after each such drain, once
    // it has handed all its lines to the panes.
    const QMetaObject::Connection afterDrain = QObject::connect(window->Run, &TaskRun::LogLines, window.get(),
        [this] {
            if (window->Run->CurrentTask() && window->BitBtn1->text() == "Stop")
                CheckWorkerPositions();
        },
        Qt::QueuedConnection);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds(60000));
    QObject::disconnect(afterDrain);

    EXPECT_GT(positionChecks, 0);
    EXPECT_EQ(positionsAheadOfRecords, 0);
    const MDTask& task = *window->Run->CurrentTask();
    const int columns = task.MaxX - task.MinX + 1;
    EXPECT_EQ(window->Memo2->Lines().size(), columns);
    EXPECT_EQ(server.RequestCount(), task.TotalCount + 2 * columns);  // failing tiles take three attempts

    const QStringList memo = window->Memo1->Lines();
    EXPECT_EQ(memo.count("Pause after each tile: 0 ms"), 1);
    const TIniFile project(work.File("newtask.qtsk"));
    for (int i = 0; i < MaxDownThreads; ++i) {
        const QStringList own = LinesOfWorker(memo, i);
        ASSERT_FALSE(own.isEmpty());
        EXPECT_EQ(own.last(), "T" + QString::number(i + 1) + " Finished.") << "ThreadFinished comes last";
        qint64 lastSeq = 0;
        for (const QString& line : own) {
            if (!line.contains(":seq="))
                continue;
            const qint64 seq = line.section(u'=', 1).section(u',', 0, 0).toLongLong();
            ASSERT_GT(seq, lastSeq) << line.toStdString();
            lastSeq = seq;
        }
        // The worker's last tile is the last place of the range that falls to it.
        qint64 lastPlace = task.TotalCount;
        while (lastPlace % MaxDownThreads != i)
            --lastPlace;
        const QString thread = "T" + QString::number(i + 1);
        EXPECT_EQ(project.ReadInteger("THREADS", thread + "X", 0),
            task.MinX + int((lastPlace - 1) / (task.MaxY - task.MinY + 1)));
    }

    // The key is read afresh at each Start: without it the continued log gains no pause line.
    WriteConfig(QByteArray());
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntil([this] { return messages.count(kTaskStopped) == 2; }));
    EXPECT_EQ(window->Memo1->Lines().count("Pause after each tile: 0 ms"), 1);
    EXPECT_TRUE(window->Memo1->Lines().contains("Log continue..."));
}

TEST_F(FastTaskTest, StopEndsAFastTaskAtOnce)
{
    window->UpDown1->SetPosition(12);  // some 25,000 tiles
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntil([this] { return LinesContaining(*window, " OK") >= 200; }));
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_LT(server.RequestCount(), window->Run->CurrentTask()->TotalCount / 2);
    const QStringList memo = window->Memo1->Lines();
    for (int i = 0; i < MaxDownThreads; ++i)
        EXPECT_EQ(LinesOfWorker(memo, i).last(), "T" + QString::number(i + 1) + " Finished.");
}
