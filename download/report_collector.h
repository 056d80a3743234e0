#pragma once

#include "download/down_thread.h"

#include <QStringList>

// A sink that keeps what it is handed, in order.
class ReportCollector final : public DownloadReportSink {
public:
    void AddLogLine(const QString& text) override { Log << text; }
    void AddFailedLine(const QString& text) override { Failed << text; }
    void AddFailureReason(const QString& reason) override { FailureReasons << reason; }
    void AddBlankTile() override { ++Blank; }
    void ThreadFinished() override { ++Finished; }

    QStringList Log;
    QStringList Failed;
    QStringList FailureReasons;
    int Blank = 0;
    int Finished = 0;
};
