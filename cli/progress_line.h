#pragma once

#include "run/task_progress.h"

#include <QString>
#include <cstdio>

// The progress of a run on stderr: on a terminal one line rewritten in place
// every update, otherwise a plain line every 10 seconds, so a log file
// collecting stderr stays short.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* stream);

    void Begin(qint64 total, qint64 finished, qint64 timeMs);
    void Update(qint64 finished, qint64 timeMs);
    // Ends the line in place, if one is showing.
    void End();
    // Prints a line of its own above the progress.
    void Say(const QString& line);

    static constexpr qint64 kPlainIntervalMs = 10000;

private:
    std::FILE* stream_;
    bool terminal_;
    bool showing_ = false;
    qint64 total_ = 0;
    qint64 lastPlainMs_ = 0;
    ProgressRate rate_;
};
