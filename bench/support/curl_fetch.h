#pragma once

#include <QList>
#include <QString>

// One tile for curl: its address and the file to write.
struct CurlTransfer {
    QString Url;
    QString File;
};

struct CurlRun {
    bool Ok = false;
    double Seconds = 0;
    double CpuSeconds = 0;  // curl's user and system time
};

// Fetches every transfer with the curl command line, `connections` at a
// time: curl --parallel --parallel-max <connections>, the list given as a
// config file written into `scratchFolder`.
CurlRun FetchWithCurl(const QList<CurlTransfer>& transfers, int connections, const QString& scratchFolder);
