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
class ViewedSeries;
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

    // Replaces the task on view with it and the rest of its zoom series. A
    // bad file is reported in a message box and the view keeps what it
    // showed. True when the task was opened.
    bool OpenTask(const QString& projectFile);

    MapView* View() const { return view_; }
    // The task opened, and the series it belongs to (nullptr for none).
    ViewedTask* Task() const;
    ViewedSeries* Series() const { return series_.get(); }
    SummaryDialog* Summary() const { return summary_; }
    // The texts of the status bar: decimal, degrees-minutes-seconds, tile,
    // file, and the zoom level shown.
    QStringList StatusTexts() const;
    // Why the online map shows no tiles, when its last tile failed.
    QString OnlineMapStatus() const;

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
    void ShowZoom();
    void UpdateSelectionActions();

    std::unique_ptr<ViewedSeries> series_;
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
    QLabel* zoom_;
    QLabel* progress_;
    QLabel* onlineState_;
    std::optional<QPointF> cursor_;  // map position the status bar describes
};
