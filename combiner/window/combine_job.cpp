#include "combiner/window/combine_job.h"

#include "platform/app_error.h"

CombineJob::CombineJob(CombineRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request))
{
}

void CombineJob::Start()
{
    job_ = StartPoolJob(this, [this](const PoolJobContext& job) { Run(job); });
}

void CombineJob::Run(const PoolJobContext& job)
{
    running_ = job;
    sinceProgress_.start();
    const auto end = [&](Outcome outcome, const QString& text) {
        job.Report([this, outcome, text] { emit Ended(outcome, text); });
    };
    try {
        const CombineCounts counts = Combine(request_, *this);
        end(Outcome::Written, counts.Text());
    } catch (const CombineCancelled&) {
        end(Outcome::Cancelled, QString());
    } catch (const std::bad_alloc&) {
        end(Outcome::Failed, QStringLiteral("Not enough memory; nothing was written."));
    } catch (...) {
        end(Outcome::Failed, ErrorText(std::current_exception()));
    }
}

void CombineJob::Progress(const CombineProgress& progress)
{
    // A few updates a second are all a progress bar can show.
    if (sinceProgress_.elapsed() < 100 && progress.Done != progress.Total && progress.Done != 0)
        return;
    sinceProgress_.restart();
    running_->Report([this, progress] { emit Progressed(progress.Done, progress.Total, progress.Seconds); });
}

void CombineJob::TileNote(const QString& line)
{
    running_->Report([this, line] { emit TileNoted(line); });
}
