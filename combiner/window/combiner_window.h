#pragma once

#include "combiner/output_format.h"
#include "combiner/tile_task_summary.h"

#include "task/zoom_series.h"

#include <QWidget>
#include <map>
#include <memory>
#include <vector>

class CombineJob;
class TileCount;
struct OpenedTask;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The Map Combiner's window: a task (chooser, drop or the program's
// argument) and, when it belongs to a zoom series, the offer of the whole
// series; what each zoom holds, the output's format and file, the lowest
// zoom to build for tile sets, Start, progress with rate and time left,
// Cancel, and the report of the tiles that were not stored. Several tasks
// dropped together are combined together. The tiles are
// counted by TileCounts and combined by a CombineJob, off the GUI thread.
class CombinerWindow : public QWidget {
    Q_OBJECT
public:
    explicit CombinerWindow(QWidget* parent = nullptr);
    ~CombinerWindow() override;

    // Opens a task: proposes an output beside it, offers the zoom series it
    // belongs to and starts counting the tiles of each zoom; the summary
    // follows when they are counted.
    void OpenTask(const QString& projectFile);
    // Opens tasks given together (dropped together): all are combined, in
    // the order given; the output is proposed beside the first. One task is
    // opened as OpenTask does.
    void OpenTasks(const QStringList& projectFiles);

    // The controls, for tests that drive the window.
    QLineEdit* TaskEdit() const { return taskEdit_; }
    QLineEdit* OutputEdit() const { return outputEdit_; }
    QComboBox* FormatBox() const { return formatBox_; }
    QPushButton* StartButton() const { return startButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QLabel* SummaryLabel() const { return summaryLabel_; }
    QCheckBox* SeriesBox() const { return seriesBox_; }
    QSpinBox* LowerZoomBox() const { return lowerZoomBox_; }
    QLabel* ProgressLabel() const { return progressLabel_; }
    QPlainTextEdit* Report() const { return report_; }
    bool IsRunning() const { return job_ != nullptr; }

signals:
    void RunEnded();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void ChooseTask();
    void ChooseOutput();
    void FormatChanged();
    void Start();
    void ShowProgress(qint64 done, qint64 total, double seconds);
    void RunFinished(int outcome, const QString& text);
    void CountTiles(const QList<SeriesTask>& tasks);
    QList<SeriesTask> ChosenTasks() const;
    void ShowSummary();
    void SetRunning(bool running);
    OutputFormat SelectedFormat() const;

    QLineEdit* taskEdit_;
    QPushButton* chooseTaskButton_;
    QPushButton* chooseOutputButton_;
    QLabel* summaryLabel_;
    QCheckBox* seriesBox_;
    QSpinBox* lowerZoomBox_;
    QComboBox* formatBox_;
    QLineEdit* outputEdit_;
    QPushButton* startButton_;
    QPushButton* cancelButton_;
    QProgressBar* progressBar_;
    QLabel* progressLabel_;
    QPlainTextEdit* report_;
    QList<SeriesTask> series_;                  // the task shown and its series' other members, or the tasks given together
    bool together_ = false;                     // several tasks given at once: all are chosen
    std::map<qsizetype, TileTaskSummary> summaries_;  // by place among the chosen tasks, of those counted so far
    std::vector<TileCount*> tileCounts_;        // of the chosen tasks
    CombineJob* job_ = nullptr;
};
