#include "cli/progress_line.h"

#include "platform/terminal.h"

ProgressLine::ProgressLine(std::FILE* stream) : stream_(stream), terminal_(IsTerminal(stream)) {}

void ProgressLine::Begin(qint64 total, qint64 finished, qint64 timeMs)
{
    total_ = total;
    rate_.Clear();
    lastPlainMs_ = timeMs;
    rate_.AddSample(timeMs, finished);
}

void ProgressLine::Update(qint64 finished, qint64 timeMs)
{
    rate_.AddSample(timeMs, finished);
    const QByteArray text = ProgressText(finished, total_, rate_.TilesPerSecond()).toUtf8();
    if (terminal_) {
        std::fprintf(stream_, "\r%s\x1b[K", text.constData());
        showing_ = true;
    } else if (timeMs - lastPlainMs_ >= kPlainIntervalMs) {
        lastPlainMs_ = timeMs;
        std::fprintf(stream_, "%s\n", text.constData());
    }
    std::fflush(stream_);
}

void ProgressLine::End()
{
    if (showing_)
        std::fputc('\n', stream_);
    showing_ = false;
    std::fflush(stream_);
}

void ProgressLine::Say(const QString& line)
{
    End();
    std::fprintf(stream_, "%s\n", line.toUtf8().constData());
    std::fflush(stream_);
}
