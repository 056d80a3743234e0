#pragma once

#include "download/down_thread.h"

#include <QStringList>

// A sink that keeps what it is handed, in order.
class ReportCollector final : public DownloadReportSink {
public:
    void AddLogLine(const QString& text) override { Log << text; }
    void AddFailedLine(const QString& text) override { Failed << text; }
    void ThreadFinished() override { ++Finished; }

    QStringList Log;
    QStringList Failed;
    int Finished = 0;
};
