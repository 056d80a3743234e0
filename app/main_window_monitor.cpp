// The one-second progress monitor: periodic saves and the end of a task.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "platform/message_box.h"
#include "platform/number_text.h"
#include "settings/ini_file.h"

#include <QPushButton>
#include <QTimer>

namespace {
constexpr int kTicksPerSave = 5;
}

void TForm1::Timer1Timer()
{
    DeliverWorkerReports();
    ++TimerTicks;
    if (TimerTicks % kTicksPerSave == 0)
        SaveProgress();
    UpdateProgress();
    // A save error's message box runs its own event loop, in which a later
    // tick may already have ended the task.
    if (RunningThreads == 0 && Timer1->isActive())
        FinishTask(true);
}

void TForm1::SaveProgress()
{
    SavePositions();
    SavePanes();
}

// Only positions greater than 0 are written, so a worker that has not
// finished a tile yet keeps the value from an earlier run. All positions of
// one save replace the project file once.
void TForm1::SavePositions()
{
    SaveGuarded([this] {
        TIniFile project(CurrentParameters->Path + CurrentParameters->TaskName);
        project.WriteAtOnce([&] {
            for (int i = 0; i < CurrentParameters->ThreadCount; ++i) {
                // A tick run inside a save error's message box may have ended the task.
                if (!DownThreads[i])
                    continue;
                const TilePosition position = WorkerPosition(i);
                const QString thread = QStringLiteral("T") + QString::number(i + 1);
                if (position.X > 0)
                    project.WriteInteger(QStringLiteral("THREADS"), thread + u'X', position.X);
                if (position.Y > 0)
                    project.WriteInteger(QStringLiteral("THREADS"), thread + u'Y', position.Y);
            }
        });
    });
}

void TForm1::SavePanes()
{
    SaveGuarded([this] { Memo1->SaveToFile(CurrentTask->LogFileName); });
    SaveGuarded([this] { Memo2->SaveToFile(CurrentTask->FailedFileName); });
}

// A file that cannot be written is reported once per task, not every five
// seconds; the monitor goes on trying and the task still ends normally.
void TForm1::SaveGuarded(const std::function<void()>& save)
{
    try {
        save();
    } catch (...) {
        if (saveErrorShown_)
            return;
        saveErrorShown_ = true;
        ShowCurrentException();
    }
}

void TForm1::FinishTask(bool announce)
{
    Timer1->stop();
    ReportTimer->stop();
    const QStringList closingLines{QString(), QString(32, u'-'), QStringLiteral("Task Stoped!"), QString(),
        QStringLiteral("Now time:") + LocalDateTimeText(clock_()), QString(),
        QStringLiteral("Log file has been saved as ") + CurrentTask->LogFileName};
    for (const QString& line : closingLines)
        Memo1->AppendLine(line);
    SavePanes();
    SavePositions();
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i)
        DownThreads[i].reset();
    BitBtn1->setText(QStringLiteral("Start"));
    if (announce)
        ShowMessage(QStringLiteral("Task stoped!") + QString(20, u' '));
}
