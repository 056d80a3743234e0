// Cost of the INI layer on large project files.
//
//   build/bench/settings/ini_file_bench [megabytes]
//
// Each case runs in a process of its own, so that every peak memory figure
// is that case's own:
//   open   -- a project file padded with `megabytes` (10 by default) of blank
//             lines in its THREADS section: the reads of Open task, of the
//             continue test and of the resume points, each with its own
//             TIniFile as the program makes them;
//   save   -- one position save of the eight workers' 16 keys into that file;
//   headers-- a file of one million blank section lines ("[]"), the reads of
//             one continue test.
#include "settings/ini_file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {
const QByteArray kProject =
    "[MapsType]\r\nMapsType=8\r\n\r\n[AREA]\r\nLeftLongitude=116\r\nRightLongitude=116.5\r\nTopLatitude=40\r\n"
    "BottomLatitude=39.5\r\n\r\n[Zoom]\r\nZoom=10\r\n\r\n[XY]\r\nMinX=841\r\nMinY=387\r\nMaxX=843\r\nMaxY=389\r\n\r\n"
    "[THREADS]\r\nThreadCount=8\r\n";

long PeakMemoryKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void WriteFile(const QString& fileName, const QByteArray& head, const QByteArray& repeated, qint64 times,
    const QByteArray& tail)
{
    QFile file(fileName);
    file.open(QIODevice::WriteOnly);
    file.write(head);
    const QByteArray chunk = repeated.repeated(4096);
    for (qint64 written = 0; written < times; written += 4096)
        file.write(written + 4096 <= times ? chunk : repeated.repeated(times - written));
    file.write(tail);
}

QByteArray PositionKeys()
{
    QByteArray keys;
    for (int n = 1; n <= 8; ++n)
        keys += "T" + QByteArray::number(n) + "X=\r\nT" + QByteArray::number(n) + "Y=\r\n";
    return keys;
}

// The reads of Open task, of the continue test and of the resume points.
int ReadLikeOpenAndContinue(const QString& fileName)
{
    int found = 0;
    const QString area = QStringLiteral("AREA");
    for (int operation = 0; operation < 2; ++operation) {
        const TIniFile project(fileName);
        for (const char* key : {"LeftLongitude", "RightLongitude", "TopLatitude", "BottomLatitude"})
            found += !project.ReadString(area, key, QString()).isEmpty();
        found += project.ReadInteger("MapsType", "MapsType", 0) > 0;
        found += project.ReadInteger("Zoom", "Zoom", 0) > 0;
    }
    const TIniFile project(fileName);
    for (int n = 1; n <= 8; ++n) {
        found += project.ReadInteger("THREADS", QStringLiteral("T%1X").arg(n), 0) >= 0;
        found += project.ReadInteger("THREADS", QStringLiteral("T%1Y").arg(n), 0) >= 0;
    }
    return found;
}

void SavePositions(const QString& fileName)
{
    TIniFile project(fileName);
    project.WriteAtOnce([&] {
        for (int n = 1; n <= 8; ++n) {
            project.WriteInteger("THREADS", QStringLiteral("T%1X").arg(n), 6743 + n);
            project.WriteInteger("THREADS", QStringLiteral("T%1Y").arg(n), 3104 + n);
        }
    });
}

int RunCase(const QString& name, qint64 megabytes)
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath("big.qtsk");
    if (name == "headers")
        WriteFile(fileName, QByteArray(), "[]\r\n", 1000000, kProject + PositionKeys());
    else
        WriteFile(fileName, kProject, "\r\n", megabytes * 1024 * 1024 / 2, PositionKeys());
    const long baseKiB = PeakMemoryKiB();

    QElapsedTimer timer;
    timer.start();
    if (name == "save")
        SavePositions(fileName);
    else
        ReadLikeOpenAndContinue(fileName);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%-8s file %7.2f MB: %8.3f s, peak memory %7ld KiB (%ld KiB before the case)\n", qPrintable(name),
        QFile(fileName).size() / 1048576.0, seconds, PeakMemoryKiB(), baseKiB);
    return 0;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qint64 megabytes = arguments.size() > 1 ? arguments[1].toLongLong() : 10;
    if (arguments.size() > 2)
        return RunCase(arguments[2], megabytes);
    for (const char* name : {"open", "save", "headers"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {QString::number(megabytes), name});
        child.waitForFinished(-1);
    }
    return 0;
}
