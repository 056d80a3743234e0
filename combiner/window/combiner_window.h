#pragma once

#include "combiner/output_format.h"
#include "combiner/tile_task_summary.h"

#include <QWidget>
#include <memory>
#include <optional>

class CombineThread;
class TileCount;
struct OpenedTask;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The Map Combiner's window: a task (chooser, drop or the program's
// argument), what it holds, the output's format and file, Start, progress
// with rate and time left, Cancel, and the report of the tiles that were
// not stored. The tiles are counted by a TileCount and combined by a
// CombineThread, both off the GUI thread.
class CombinerWindow : public QWidget {
    Q_OBJECT
public:
    explicit CombinerWindow(QWidget* parent = nullptr);
    ~CombinerWindow() override;

    // Opens a task: proposes an output beside it and starts counting its
    // tiles; the summary follows when they are counted.
    void OpenTask(const QString& projectFile);

    // The controls, for tests that drive the window.
    QLineEdit* TaskEdit() const { return taskEdit_; }
    QLineEdit* OutputEdit() const { return outputEdit_; }
    QComboBox* FormatBox() const { return formatBox_; }
    QPushButton* StartButton() const { return startButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QLabel* SummaryLabel() const { return summaryLabel_; }
    QLabel* ProgressLabel() const { return progressLabel_; }
    QPlainTextEdit* Report() const { return report_; }
    bool IsRunning() const { return thread_ != nullptr; }

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
    void CountTiles(std::shared_ptr<const OpenedTask> task);
    void ShowSummary();
    void SetRunning(bool running);
    OutputFormat SelectedFormat() const;

    QLineEdit* taskEdit_;
    QPushButton* chooseTaskButton_;
    QPushButton* chooseOutputButton_;
    QLabel* summaryLabel_;
    QComboBox* formatBox_;
    QLineEdit* outputEdit_;
    QPushButton* startButton_;
    QPushButton* cancelButton_;
    QProgressBar* progressBar_;
    QLabel* progressLabel_;
    QPlainTextEdit* report_;
    std::optional<TileTaskSummary> summary_;
    TileCount* tileCount_ = nullptr;  // of the task shown
    CombineThread* thread_ = nullptr;
};
