#include "curl_fetch.h"

#include "measures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

QList<CurlTransfer> BlockTransfers(const TileBlock& block, const QString& baseUrl, const QString& folder)
{
    QList<CurlTransfer> transfers;
    transfers.reserve(block.Count());
    for (int x = block.MinX; x <= block.MaxX; ++x)
        for (int y = block.MinY; y <= block.MaxY; ++y)
            transfers.append({baseUrl + QStringLiteral("/%1/%2/%3.png").arg(block.Zoom).arg(x).arg(y),
                folder + QStringLiteral("/os_%1_%2_%3.png").arg(x).arg(y).arg(block.Zoom)});
    return transfers;
}

CurlRun FetchWithCurl(const QList<CurlTransfer>& transfers, int connections, const QString& scratchFolder)
{
    const QString listFile = scratchFolder + QStringLiteral("/curl-transfers.txt");
    QFile list(listFile);
    if (!list.open(QIODevice::WriteOnly))
        return {};
    for (const CurlTransfer& transfer : transfers)
        list.write(QStringLiteral("url = \"%1\"\noutput = \"%2\"\n").arg(transfer.Url, transfer.File).toUtf8());
    list.close();

    CurlRun run;
    const double cpuBefore = ChildrenCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedChannels);
    curl.start(QStringLiteral("curl"), {QStringLiteral("--silent"), QStringLiteral("--no-progress-meter"),
                                           QStringLiteral("--show-error"),
                                           QStringLiteral("--fail"), QStringLiteral("--parallel"),
                                           QStringLiteral("--parallel-max"), QString::number(connections),
                                           QStringLiteral("--config"), listFile});
    run.Ok = curl.waitForFinished(600000) && curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0;
    run.Seconds = double(elapsed.nsecsElapsed()) / 1e9;
    run.CpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    QFile::remove(listFile);
    return run;
}

double CurlTilesPerSecond(const TileBlock& block, const QString& baseUrl, const QString& folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const CurlRun run = FetchWithCurl(BlockTransfers(block, baseUrl, folder), 8, folder);
    if (!run.Ok)
        std::printf("  curl failed\n");
    return double(block.Count()) / run.Seconds;
}
