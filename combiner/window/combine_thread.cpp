#include "combiner/window/combine_thread.h"

#include "platform/app_error.h"

CombineThread::CombineThread(CombineRequest request, QObject* parent)
    : QThread(parent), request_(std::move(request))
{
}

void CombineThread::run()
{
    sinceProgress_.start();
    try {
        const CombineCounts counts = Combine(request_, *this);
        emit Ended(Outcome::Written, counts.Text());
    } catch (const CombineCancelled&) {
        emit Ended(Outcome::Cancelled, QString());
    } catch (const AppError& error) {
        emit Ended(Outcome::Failed, error.Message());
    } catch (const std::bad_alloc&) {
        emit Ended(Outcome::Failed, QStringLiteral("Not enough memory; nothing was written."));
    } catch (const std::exception& error) {
        emit Ended(Outcome::Failed, QString::fromLocal8Bit(error.what()));
    }
}

void CombineThread::Progress(const CombineProgress& progress)
{
    // A few updates a second are all a progress bar can show.
    if (sinceProgress_.elapsed() < 100 && progress.Done != progress.Total && progress.Done != 0)
        return;
    sinceProgress_.restart();
    emit Progressed(progress.Done, progress.Total, progress.Seconds);
}

void CombineThread::TileNote(const QString& line)
{
    emit TileNoted(line);
}
