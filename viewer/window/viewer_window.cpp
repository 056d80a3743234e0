#include "viewer/window/viewer_window.h"

#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "settings/config_file.h"
#include "task/configured_servers.h"
#include "task/download_task.h"
#include "task/task_size_estimate.h"
#include "viewer/coordinate_text.h"
#include "viewer/drawn_area_task.h"
#include "viewer/online/online_map_choice.h"
#include "viewer/online/online_tiles.h"
#include "viewer/selection_task.h"
#include "viewer/viewed_series.h"
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"
#include "viewer/window/new_task_dialog.h"
#include "viewer/window/state_legend.h"
#include "viewer/window/summary_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <cmath>

namespace {
const QString kProjectFilter = QStringLiteral("Projects(*.qtsk)|*.qtsk");

std::optional<QString> DroppedFile(const QMimeData* data)
{
    if (!data->hasUrls() || data->urls().isEmpty() || !data->urls().first().isLocalFile())
        return std::nullopt;
    return data->urls().first().toLocalFile();
}
}

ViewerWindow::ViewerWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Map Viewer"));
    setAcceptDrops(true);
    view_ = new MapView(this);
    setCentralWidget(view_);
    view_->setFocus();
    summary_ = new SummaryDialog(this);
    BuildMenus();
    BuildStatusBar();
    connect(view_, &MapView::CursorMoved, this, &ViewerWindow::ShowCursor);
    connect(view_, &MapView::SelectionChanged, this, &ViewerWindow::UpdateSelectionActions);
    connect(view_, &MapView::ShownTaskChanged, this, [this] {
        ShowZoom();
        ShowCursor(cursor_);
    });
    UpdateSelectionActions();
    resize(1000, 760);
}

ViewerWindow::~ViewerWindow()
{
    view_->SetTask(nullptr);
    view_->SetOnlineMap(nullptr);
}

ViewedTask* ViewerWindow::Task() const
{
    return series_ ? &series_->Opened() : nullptr;
}

void ViewerWindow::StartWith(const QStringList& arguments)
{
    const bool opened = !arguments.isEmpty() && OpenTask(arguments.first());
    SetOnlineMapShown(!opened);
}

void ViewerWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open..."), QKeySequence::Open, this, [this] { RunGuarded([this] { OpenFromDialog(); }); });
    recentMenu_ = file->addMenu(tr("&Recent"));
    file->addAction(tr("Re&load"), QKeySequence::Refresh, this, [this] {
        RunGuarded([this] {
            if (series_)
                OpenTask(series_->ProjectFile());
        });
    });
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    RefreshRecentMenu();

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("&Fit whole task"), QKeySequence(Qt::CTRL | Qt::Key_0), view_, &MapView::Fit);
    view->addAction(tr("Zoom &in"), QKeySequence::ZoomIn, this, [this] { view_->ZoomAtCenter(2); });
    view->addAction(tr("Zoom ou&t"), QKeySequence::ZoomOut, this, [this] { view_->ZoomAtCenter(0.5); });
    view->addSeparator();
    QAction* grid = view->addAction(tr("Tile &grid"), view_, &MapView::SetGridShown);
    grid->setCheckable(true);
    grid->setChecked(true);
    QAction* requested = view->addAction(tr("&Requested area"), view_, &MapView::SetRequestedAreaShown);
    requested->setCheckable(true);
    requested->setChecked(true);
    QAction* ages = view->addAction(tr("Colour tiles by &age"), view_, &MapView::SetAgeShown);
    ages->setCheckable(true);
    onlineAction_ = view->addAction(tr("&Online map"), this,
                                    [this](bool shown) { RunGuarded([this, shown] { SetOnlineMapShown(shown); }); });
    onlineAction_->setCheckable(true);
    view->addSeparator();
    view->addAction(tr("&Summary..."), QKeySequence(Qt::CTRL | Qt::Key_I), this, &ViewerWindow::ShowSummary);

    QMenu* selection = menuBar()->addMenu(tr("&Selection"));
    newTaskAction_ = selection->addAction(tr("&New task from selection..."), QKeySequence::New, this,
                                          [this] { RunGuarded([this] { NewTaskFromSelection(); }); });
    copyBoundsAction_ = selection->addAction(tr("&Copy bounds"), QKeySequence::Copy, this,
                                             [this] { RunGuarded([this] { CopyBounds(); }); });
    selection->addAction(tr("Draw &polygon"), view_, &MapView::StartPolygon);
    selection->addAction(tr("C&lear selection"), view_, &MapView::ClearSelection);
}

void ViewerWindow::BuildStatusBar()
{
    decimal_ = new QLabel(this);
    dms_ = new QLabel(this);
    tile_ = new QLabel(this);
    file_ = new QLabel(this);
    zoom_ = new QLabel(this);
    progress_ = new QLabel(this);
    onlineState_ = new QLabel(this);
    for (QLabel* label : {decimal_, dms_, tile_, file_})
        statusBar()->addWidget(label);
    statusBar()->addPermanentWidget(onlineState_);
    statusBar()->addPermanentWidget(progress_);
    statusBar()->addPermanentWidget(zoom_);
    QToolBar* legend = addToolBar(tr("Legend"));
    addToolBar(Qt::BottomToolBarArea, legend);
    legend->setMovable(false);
    legend->addWidget(new StateLegend(legend));
}

void ViewerWindow::RefreshRecentMenu()
{
    recentMenu_->clear();
    const QStringList files = recent_.Files();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        // Numbered access keys; an & in a path is shown, not taken as one.
        const QString caption = QDir::toNativeSeparators(file).replace(u'&', QStringLiteral("&&"));
        recentMenu_->addAction(i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(caption) : caption, this,
                               [this, file] { RunGuarded([this, &file] { OpenTask(file); }); });
    }
    recentMenu_->setEnabled(!files.isEmpty());
}

bool ViewerWindow::OpenTask(const QString& projectFile)
{
    std::unique_ptr<ViewedSeries> opened;
    try {
        opened = std::make_unique<ViewedSeries>(projectFile);
    } catch (const AppError& error) {
        ShowMessage(error.Message());
        return false;
    }
    view_->SetTasks(opened->Tasks());
    summary_->SetTasks(opened->Tasks());
    series_ = std::move(opened);
    connect(series_.get(), &ViewedSeries::CountsChanged, this, &ViewerWindow::ShowProgress);
    // The tile under the cursor may have changed its state.
    for (ViewedTask* task : series_->Tasks())
        connect(task, &ViewedTask::Changed, this, [this] { ShowCursor(cursor_); });
    setWindowTitle(QStringLiteral("%1 - Map Viewer").arg(QFileInfo(projectFile).fileName()));
    recent_.Add(projectFile);
    RefreshRecentMenu();
    ShowProgress();
    ShowZoom();
    // The online map follows the task: its own map source, if it has one.
    if (online_) {
        SetOnlineMapShown(false);
        SetOnlineMapShown(true);
    }
    return true;
}

void ViewerWindow::OpenFromDialog()
{
    const QString folder = series_ ? Task()->Parameters().Path : ReadDefaultPath(QDir::homePath());
    if (const auto file = ChooseFileToOpen(this, tr("Open project file:"), kProjectFilter, folder))
        OpenTask(*file);
}

void ViewerWindow::ShowSummary()
{
    summary_->show();
    summary_->raise();
}

void ViewerWindow::NewTaskFromSelection()
{
    const auto polygon = view_->Polygon();
    const auto selection = polygon ? std::optional<QRectF>(polygon->boundingRect()) : view_->Selection();
    if (!selection)
        return;
    std::shared_ptr<const ShapedArea> shape;
    if (polygon) {
        const ShapeResult drawn = DrawnAreaShape(*polygon, view_->MapZoom());
        if (!drawn.Ok()) {
            ShowMessage(drawn.ProblemText);
            return;
        }
        shape = DrawnArea(*drawn.Shape);
    }
    const GeoArea area = AreaOfMapRect(*selection, view_->MapZoom());
    const ViewedTask* task = Task();
    // The zoom levels of the series on view, or a city's scale.
    const int zoom = series_ ? series_->Zooms().first() : 13;
    const int zoomTo = series_ ? series_->DeepestZoom() : zoom;
    const int mapsType = task ? task->Parameters().MapsType : MAPNIK;
    const QString folder = task ? task->Parameters().Path : ReadDefaultPath(DefaultUserFolder(QStringLiteral("vornhold")));
    NewTaskDialog dialog(area, zoom, zoomTo, mapsType, folder, task ? &task->Counts() : nullptr, shape, this);
    if (task && task->Parameters().Source)
        dialog.ChooseMap(mapsType, task->Parameters().Source->Name);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList written = dialog.WrittenFiles();
    statusBar()->showMessage(written.size() == 1
                                 ? tr("Wrote %1: open it in Tessaly with Open task.").arg(written.first())
                                 : tr("Wrote %1 tasks, %2 to %3: open one in Tessaly with Open task.")
                                       .arg(written.size())
                                       .arg(written.first(), written.last()),
                             10000);
}

void ViewerWindow::CopyBounds()
{
    if (const auto polygon = view_->Polygon())
        QApplication::clipboard()->setText(BoundsText(AreaOfMapRect(polygon->boundingRect(), view_->MapZoom())));
    else if (const auto selection = view_->Selection())
        QApplication::clipboard()->setText(BoundsText(AreaOfMapRect(*selection, view_->MapZoom())));
}

// Ordinary interactive map viewing, which the tile servers' usage policies
// allow: the loader keeps to two connections, the tiles in view and one ring,
// and a disk cache that honours the server's caching headers.
void ViewerWindow::SetOnlineMapShown(bool shown)
{
    onlineAction_->setChecked(shown);
    if (shown == bool(online_))
        return;
    view_->SetOnlineMap(nullptr);
    online_.reset();
    onlineState_->clear();
    if (!shown)
        return;
    const TileServers servers = ReadTileServers();
    online_ = std::make_unique<OnlineTileLoader>(
        OnlineMapFor(Task() ? &Task()->Parameters() : nullptr, servers),
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/online-tiles"));
    // A server that answers, even with a refusal for one tile, is reached.
    connect(online_.get(), &OnlineTileLoader::FetchReported, this, [this](const QString& reason, bool unreachable) {
        if (unreachable)
            onlineState_->setText(tr("The online map cannot be reached: ") + reason);
        else if (reason.isEmpty())
            onlineState_->clear();
    });
    view_->SetOnlineMap(online_.get());
}

void ViewerWindow::UpdateSelectionActions()
{
    const bool selected = view_->Selection().has_value() || view_->Polygon().has_value();
    newTaskAction_->setEnabled(selected);
    copyBoundsAction_->setEnabled(selected);
}

QStringList ViewerWindow::StatusTexts() const
{
    return {decimal_->text(), dms_->text(), tile_->text(), file_->text(), zoom_->text()};
}

QString ViewerWindow::OnlineMapStatus() const
{
    return onlineState_->text();
}

void ViewerWindow::ShowCursor(std::optional<QPointF> map)
{
    cursor_ = map;
    const int zoom = view_->MapZoom();
    const double extent = double(1 << zoom);
    if (!map || map->x() < 0 || map->y() < 0 || map->x() >= extent || map->y() >= extent) {
        for (QLabel* label : {decimal_, dms_, tile_, file_})
            label->clear();
        return;
    }
    const double longitude = TileXToLongitude(map->x(), zoom);
    const double latitude = TileYToLatitude(map->y(), zoom);
    decimal_->setText(tr("Lon %1  Lat %2").arg(DecimalDegreesText(longitude), DecimalDegreesText(latitude)));
    dms_->setText(QStringLiteral("%1  %2").arg(LongitudeDmsText(longitude), LatitudeDmsText(latitude)));
    // The tile of the zoom level shown.
    ViewedTask* task = view_->ShownTask();
    const double scale = task ? std::ldexp(1.0, zoom - task->Zoom()) : 1.0;
    const int x = int(std::floor(map->x() / scale));
    const int y = int(std::floor(map->y() / scale));
    tile_->setText(tr("Tile z %3  x %1  y %2").arg(x).arg(y).arg(task ? task->Zoom() : zoom));
    if (!task || !task->Contains(x, y)) {
        file_->clear();
        return;
    }
    const auto state = task->StateOf(x, y);
    file_->setText(task->Task().TileFileName(x, y) + (state ? QStringLiteral(" (%1)").arg(TileStateName(*state)) : QString()));
}

void ViewerWindow::ShowProgress()
{
    if (!series_ || series_->IsCounted()) {
        progress_->clear();
        return;
    }
    progress_->setText(series_->IsListed() ? tr("Checking files: %1 of %2")
                                                .arg(GroupedNumber(series_->FilesChecked()),
                                                     GroupedNumber(series_->FilesToCheck()))
                                          : tr("Listing the task's files..."));
}

void ViewerWindow::ShowZoom()
{
    const ViewedTask* shown = view_->ShownTask();
    if (!shown || !series_) {
        zoom_->clear();
        return;
    }
    const QList<int> zooms = series_->Zooms();
    zoom_->setText(series_->IsSeries() ? tr("Zoom level %1 of %2 to %3").arg(shown->Zoom()).arg(zooms.first()).arg(zooms.last())
                                       : tr("Zoom level %1").arg(shown->Zoom()));
}

void ViewerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (DroppedFile(event->mimeData()))
        event->acceptProposedAction();
}

void ViewerWindow::dropEvent(QDropEvent* event)
{
    if (const auto file = DroppedFile(event->mimeData())) {
        event->acceptProposedAction();
        RunGuarded([this, &file] { OpenTask(*file); });
    }
}
