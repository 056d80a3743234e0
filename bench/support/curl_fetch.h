#pragma once

#include "tile_block.h"

#include <QList>
#include <QString>

// One tile for curl: its address and the file to write.
struct CurlTransfer {
    QString Url;
    QString File;
};

// Every tile of `block` on `baseUrl`, in walk order, into `folder` under the
// names the workers give MAPNIK tiles.
QList<CurlTransfer> BlockTransfers(const TileBlock& block, const QString& baseUrl, const QString& folder);

struct CurlRun {
    bool Ok = false;
    double Seconds = 0;
    double CpuSeconds = 0;  // curl's user and system time
};

// Fetches every transfer with the curl command line, `connections` at a
// time: curl --parallel --parallel-max <connections>, the list given as a
// config file written into `scratchFolder`.
// Every tile of `block` into a fresh `folder` with eight connections: tiles/s.
double CurlTilesPerSecond(const TileBlock& block, const QString& baseUrl, const QString& folder);

CurlRun FetchWithCurl(const QList<CurlTransfer>& transfers, int connections, const QString& scratchFolder);
