#pragma once

#include "platform/pause.h"
#include "run/series_run.h"
#include "run/task_run.h"
#include "task/start_inputs.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class LogPane;
class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class TfrmAbout;
class TfrmConvert;
class TfrmFlt;
class TfrmOptions;
class TaskProgressDisplay;
class TileSizeSurvey;
class UpDownSpinner;

// The maker's addresses: the Help menu opens the home page, the About box
// shows both.
extern const QString HomePageAddress;
extern const QString MailAddress;

// The window that stays open for the whole run: the inputs of one download
// task, Start and Stop, the log of the running task, Open task and the menu
// that reaches the other windows and tools. The task itself runs in its
// TaskRun, which writes the log and failed list; the two panes show their
// lines.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The windows the menu shows; created once at start-up after this one.
    void SetCompanionWindows(TfrmAbout* about, TfrmConvert* convert, TfrmOptions* options, TfrmFlt* flt);

    // The pauses of the workers and the clock of the log's time lines, so
    // that tests run tasks without sleeping and with a known time.
    void SetPauseFunction(PauseFunction pause);
    void SetClock(std::function<QDateTime()> clock);

    // Fills the inputs from a project file, as Open task does.
    void OpenTaskFile(const QString& fileName);

    // Event handlers, named after their control and event.
    void FormShow();
    void Button1Click();
    void BitBtn1Click();
    void LoadParametersfromprojectfilel1Click();
    void Exit1Click();
    // Refreshes the task in the inputs (every member of a zoom series): the
    // stored tiles no longer fresh are asked about, as `tessaly refresh` does.
    void RefreshTiles1Click();
    void Options2Click();
    void ConvertLongitudeorLatitudetodegreen1Click();
    void Viewlogfile1Click();
    void Mapviewer1Click();
    void CombineImages1Click();
    void ReDownloadfailedfiles1Click();
    void Usermanual1Click();
    void Homepage1Click();
    void About1Click();
    void AreaFromFile1Click();
    void PlainRectangle1Click();

    // Set by the show handler.
    QString HelpFileName;
    QString DefaultPath;

    // The last started task stays in it after the task's end (View log file
    // and the tools still use it).
    TaskRun* Run = nullptr;
    // Runs the task, or the members of a zoom series one after another, on Run.
    SeriesRunner* Series = nullptr;

    // Controls, named as in the designer.
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel3 = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* Label16 = nullptr;
    QLineEdit* EditTaskName = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* AreaFromFile1 = nullptr;
    QPushButton* PlainRectangle1 = nullptr;
    QGroupBox* radio_mapstype = nullptr;
    std::array<QRadioButton*, 3> MapTypeItems{};
    // The fourth choice: a map source of one's own, picked from the list
    // (the sources of the map sources folder, read anew when it opens).
    QRadioButton* SourceItem = nullptr;
    QComboBox* SourceList = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Edit5 = nullptr;
    UpDownSpinner* UpDown1 = nullptr;
    // The highest zoom level of a zoom series; equal to the zoom level for a single task.
    QLabel* LabelZoomTo = nullptr;
    QLineEdit* EditZoomTo = nullptr;
    UpDownSpinner* UpDownZoomTo = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* LabelTotalxy = nullptr;
    QPushButton* BitBtn1 = nullptr;
    LogPane* Memo1 = nullptr;
    LogPane* Memo2 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    // The tile count and size estimate, then the progress of the task.
    TaskProgressDisplay* ProgressDisplay = nullptr;
    TileSizeSurvey* TileSizes = nullptr;
    QAction* Exit1 = nullptr;
    QAction* RefreshTiles1 = nullptr;
    QAction* Options2 = nullptr;
    QAction* ConvertLongitudeorLatitudetodegreen1 = nullptr;
    QAction* Viewlogfile1 = nullptr;
    QAction* Mapviewer1 = nullptr;
    QAction* CombineImages1 = nullptr;
    QAction* ReDownloadfailedfiles1 = nullptr;
    QAction* Usermanual1 = nullptr;
    QAction* Homepage1 = nullptr;
    QAction* About1 = nullptr;

    // The selected map type item (0 MAPNIK, 1 OSMARENDER, 2 CYCLE), -1 for none.
    int MapTypeItemIndex() const;
    void SelectMapTypeItem(int item);
    // Chooses the source of this name as the map (see main_window_sources.cpp).
    void SelectSource(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateInputControls(QWidget* parent);
    void CreateMenu();
    void ConnectHandlers();

    QStringList CurrentProjectArgument() const;
    void StartTool(const QString& name);

    void CreateRun();
    void FollowZoomLevel();
    void StartTask();
    void ShowMemberStarted(int index, int count, const TaskInputs& member);
    void RunEnded(const SeriesOutcome& outcome);
    bool TaskRunning() const;
    void EndTaskBeforeClosing();

    void CreateSourceChoice(QGroupBox* group);
    void FillSourceList();
    void FollowSourceLimits();
    std::shared_ptr<const MapSource> ChosenSource() const;
    // Asks about members whose source changed its template; false: not started.
    bool AcceptChangedTemplates(TaskInputs& inputs, int zoomTo);

    void CreateProgressDisplay();
    TaskInputs CurrentInputs() const;
    // A shaped area in use (see main_window_shape.cpp): the edges show its
    // bounds and cannot be typed; null for a plain rectangle.
    void UseShape(std::shared_ptr<const ShapedArea> shape);
    void ShowShape();
    std::shared_ptr<const ShapedArea> shape_;
    void RefreshEstimate();
    void BeginProgress();
    void UpdateProgress();
    qint64 ProgressTotal() const;
    qint64 ProgressFinished() const;

    TfrmAbout* frmAbout = nullptr;
    TfrmConvert* frmConvert = nullptr;
    TfrmOptions* frmOptions = nullptr;
    TfrmFlt* frmFlt = nullptr;

    bool shown_ = false;
    int zoomFollowed_ = 13;  // the zoom level "to" last followed
    QElapsedTimer progressClock_;
};
