// Cost of the main window's log as it grows to a day of eight workers.
//
//   QT_QPA_PLATFORM=offscreen build/bench/app/log_pane_bench [lines]
//
// Fills the real main window's log pane with `lines` worker lines (500,000 by
// default), each also handed to the run's writer of the log file as a task
// does, and, at every 100,000 lines, measures: one five-second save (the 40
// lines eight workers add in five seconds, then the writer's save), the time
// to append one line to the pane and the writer, one repaint of the window,
// and how long a posted event waits for the event loop. Ends with loading
// the whole log into the pane (what Start does for a continued task) and the
// process's peak memory.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "run/growing_task_files.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int kLinesPerSave = 40;  // eight workers, one tile a second, five seconds

QString WorkerLine(qint64 n)
{
    return QStringLiteral("T%1:seq=%2,os_%3_%4_13.png OK").arg(n % 8 + 1).arg(n).arg(6743 + n / 512).arg(3104 + n % 512);
}

double Milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double PostedEventWaitMs()
{
    QElapsedTimer timer;
    timer.start();
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    while (!ran)
        QCoreApplication::processEvents();
    return Milliseconds(timer);
}

long PeakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const qint64 totalLines = argc > 1 ? QString(argv[1]).toLongLong() : 500000;
    QTemporaryDir folder;
    const QString logFile = folder.filePath(QStringLiteral("bench_log.txt"));

    TForm1 window;
    window.show();
    QCoreApplication::processEvents();
    window.Memo1->SetLines({});
    GrowingTaskFiles files;
    const auto append = [&](const QString& line) {
        window.Memo1->AppendLine(line);
        files.AppendLog({line});
    };

    std::printf("%10s %14s %14s %12s %14s\n", "lines", "5 s save ms", "append us", "repaint ms", "event wait ms");
    qint64 written = 0;
    for (qint64 mark = 100000; mark <= totalLines; mark += 100000) {
        while (written < mark - kLinesPerSave)
            append(WorkerLine(written++));
        files.SaveLog(logFile);
        QCoreApplication::processEvents();

        QElapsedTimer timer;
        timer.start();
        while (written < mark)
            append(WorkerLine(written++));
        const double appendUs = Milliseconds(timer) * 1000 / kLinesPerSave;
        timer.restart();
        files.SaveLog(logFile);
        const double saveMs = Milliseconds(timer);
        timer.restart();
        window.repaint();
        const double repaintMs = Milliseconds(timer);
        std::printf("%10lld %14.3f %14.2f %12.2f %14.3f\n", written, saveMs, appendUs, repaintMs, PostedEventWaitMs());
    }

    std::printf("peak memory after %lld lines: %ld MB\n", written, PeakMemoryMb());
    const QStringList lines = window.Memo1->Lines();
    QElapsedTimer timer;
    timer.start();
    window.Memo1->SetLines(lines);
    const double loadMs = Milliseconds(timer);
    std::printf("load %lld lines into the pane: %.0f ms; file %lld bytes\n", qint64(lines.size()), loadMs,
        QFileInfo(logFile).size());
    std::printf("peak memory: %ld MB\n", PeakMemoryMb());
    return 0;
}
