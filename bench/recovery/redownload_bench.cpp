// Time and peak memory of the re-download window for large failed-tile lists.
//
//   QT_QPA_PLATFORM=offscreen build/bench/recovery/redownload_bench [skipped-lines] [fetched-lines]
//
// Runs the real window, its file dialog answered by the program, over two
// lists: `skipped-lines` lines that name no tile file (1,000,000 by default,
// about 3 MB), then `fetched-lines` lines (20,000 by default) each answered
// 404 by a loopback server, which log two lines apiece. Prints the time of
// each run (wall clock and processor), the lines in the log pane and the
// process's peak memory after it; last, a 1 GiB list without line breaks.
#include "platform/file_dialogs.h"
#include "recovery/redownload_window.h"
#include "support/loopback_http_server.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {
long PeakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// User and system time of the whole process (both threads and the server's):
// steadier than the wall clock on a busy machine.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// `list` in `listFile`, padded with zero bytes to `size` without holding them.
bool WriteList(const QString& listFile, const QByteArray& list, qint64 size = 0)
{
    QFile file(listFile);
    return file.open(QIODevice::WriteOnly) && file.write(list) == list.size() && (size == 0 || file.resize(size));
}

void RunList(TfrmFlt& window, const QString& listFile, const char* what)
{
    InterceptFileChooser([&](const QString&) { return std::optional<QString>(listFile); });
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = CpuSeconds();
    window.Button1->click();
    std::printf("%-22s %8.1f s wall %8.1f s cpu %9d log lines %6ld MB peak\n", what, double(timer.elapsed()) / 1000,
        CpuSeconds() - cpuBefore, window.Memo1->blockCount(), PeakMemoryMb());
}
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int skippedLines = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    const int fetchedLines = argc > 2 ? QString(argv[2]).toInt() : 20000;
    QTemporaryDir folder;
    LoopbackHttpServer server;
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 404 Not Found"); });

    TfrmFlt window;
    window.show();
    QCoreApplication::processEvents();

    QByteArray skipped;
    for (int i = 0; i < skippedLines; ++i)
        skipped += "x\r\n";
    if (WriteList(folder.filePath(QStringLiteral("skipped.ftl")), skipped))
        RunList(window, folder.filePath(QStringLiteral("skipped.ftl")), "skipped lines");

    QByteArray fetched;
    const QByteArray address = server.BaseUrl().toLatin1() + "/13/6743/3104.png";
    for (int i = 0; i < fetchedLines; ++i)
        fetched += folder.filePath(QStringLiteral("os_%1_3104_13.png").arg(i)).toLocal8Bit() + '|' + address + "\r\n";
    if (WriteList(folder.filePath(QStringLiteral("fetched.ftl")), fetched))
        RunList(window, folder.filePath(QStringLiteral("fetched.ftl")), "fetched lines (404)");

    // A list without line breaks is read as a stream, not held whole.
    if (WriteList(folder.filePath(QStringLiteral("unbroken.ftl")), {}, qint64(1) << 30))
        RunList(window, folder.filePath(QStringLiteral("unbroken.ftl")), "1 GiB, no line break");
    return 0;
}
