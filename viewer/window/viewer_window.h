#pragma once

#include "viewer/window/recent_files.h"

#include <QMainWindow>
#include <memory>
#include <optional>

class MapView;
class OnlineTileLoader;
class QLabel;
class QMenu;
class SummaryDialog;
class ViewedTask;

// The Map Viewer's main window: the map, its menus and the status bar with
// the position under the cursor.
class ViewerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ViewerWindow(QWidget* parent = nullptr);
    ~ViewerWindow() override;

    // The program's start: opens the project file given as the one argument;
    // the online map is shown when there is none.
    void StartWith(const QStringList& arguments);

    // Replaces the task on view. A bad file is reported in a message box and
    // the view keeps what it showed. True when the task was opened.
    bool OpenTask(const QString& projectFile);

    MapView* View() const { return view_; }
    ViewedTask* Task() const { return task_.get(); }
    SummaryDialog* Summary() const { return summary_; }
    // The texts of the status bar: decimal, degrees-minutes-seconds, tile, file.
    QStringList StatusTexts() const;

    // The menu commands.
    void OpenFromDialog();
    void ShowSummary();
    void NewTaskFromSelection();
    void CopyBounds();
    void SetOnlineMapShown(bool shown);
    OnlineTileLoader* OnlineMap() const { return online_.get(); }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildStatusBar();
    void RefreshRecentMenu();
    void ShowCursor(std::optional<QPointF> map);
    void ShowProgress();
    void UpdateSelectionActions();

    std::unique_ptr<ViewedTask> task_;
    std::unique_ptr<OnlineTileLoader> online_;
    MapView* view_;
    SummaryDialog* summary_;
    RecentFiles recent_;
    QMenu* recentMenu_ = nullptr;
    QAction* newTaskAction_ = nullptr;
    QAction* copyBoundsAction_ = nullptr;
    QAction* onlineAction_ = nullptr;
    QLabel* decimal_;
    QLabel* dms_;
    QLabel* tile_;
    QLabel* file_;
    QLabel* progress_;
    std::optional<QPointF> cursor_;  // map position the status bar describes
};
