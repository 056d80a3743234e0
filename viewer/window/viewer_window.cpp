#include "viewer/window/viewer_window.h"

#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "settings/config_file.h"
#include "task/download_task.h"
#include "viewer/coordinate_text.h"
#include "viewer/online/online_tiles.h"
#include "viewer/selection_task.h"
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
#include <QLocale>
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
    UpdateSelectionActions();
    resize(1000, 760);
}

ViewerWindow::~ViewerWindow()
{
    view_->SetTask(nullptr);
    view_->SetOnlineMap(nullptr);
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
            if (task_)
                OpenTask(task_->ProjectFile());
        });
    });
    file->addSeparator();
    file->addAction(tr("E&xit"), QKeySequence::Quit, this, &QWidget::close);
    RefreshRecentMenu();

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("&Fit whole task"), QKeySequence(Qt::CTRL | Qt::Key_0), view_, &MapView::Fit);
    view->addAction(tr("Zoom &in"), QKeySequence::ZoomIn, this, [this] { view_->ZoomAtCenter(2); });
    view->addAction(tr("Zoom &out"), QKeySequence::ZoomOut, this, [this] { view_->ZoomAtCenter(0.5); });
    view->addSeparator();
    QAction* grid = view->addAction(tr("Tile &grid"), view_, &MapView::SetGridShown);
    grid->setCheckable(true);
    grid->setChecked(true);
    QAction* requested = view->addAction(tr("&Requested area"), view_, &MapView::SetRequestedAreaShown);
    requested->setCheckable(true);
    requested->setChecked(true);
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
    selection->addAction(tr("C&lear selection"), view_, &MapView::ClearSelection);
}

void ViewerWindow::BuildStatusBar()
{
    decimal_ = new QLabel(this);
    dms_ = new QLabel(this);
    tile_ = new QLabel(this);
    file_ = new QLabel(this);
    progress_ = new QLabel(this);
    for (QLabel* label : {decimal_, dms_, tile_, file_})
        statusBar()->addWidget(label);
    statusBar()->addPermanentWidget(progress_);
    QToolBar* legend = addToolBar(tr("Legend"));
    addToolBar(Qt::BottomToolBarArea, legend);
    legend->setMovable(false);
    legend->addWidget(new StateLegend(legend));
}

void ViewerWindow::RefreshRecentMenu()
{
    recentMenu_->clear();
    const QStringList files = recent_.Files();
    for (const QString& file : files)
        recentMenu_->addAction(QDir::toNativeSeparators(file), this,
                               [this, file] { RunGuarded([this, &file] { OpenTask(file); }); });
    recentMenu_->setEnabled(!files.isEmpty());
}

bool ViewerWindow::OpenTask(const QString& projectFile)
{
    std::unique_ptr<ViewedTask> opened;
    try {
        opened = std::make_unique<ViewedTask>(projectFile);
    } catch (const AppError& error) {
        ShowMessage(error.Message());
        return false;
    }
    view_->SetTask(opened.get());
    summary_->SetTask(opened.get());
    task_ = std::move(opened);
    connect(task_.get(), &ViewedTask::CountsChanged, this, &ViewerWindow::ShowProgress);
    // The tile under the cursor may have changed its state.
    connect(task_.get(), &ViewedTask::Changed, this, [this] { ShowCursor(cursor_); });
    setWindowTitle(QStringLiteral("%1 - Map Viewer").arg(QFileInfo(projectFile).fileName()));
    recent_.Add(projectFile);
    RefreshRecentMenu();
    ShowProgress();
    return true;
}

void ViewerWindow::OpenFromDialog()
{
    const QString folder = task_ ? task_->Parameters().Path : ReadDefaultPath(QDir::homePath());
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
    const auto selection = view_->Selection();
    if (!selection)
        return;
    const GeoArea area = AreaOfMapRect(*selection, view_->MapZoom());
    const int zoom = task_ ? task_->Zoom() : 13;
    const int mapsType = task_ ? task_->Parameters().MapsType : MAPNIK;
    const QString folder = task_ ? task_->Parameters().Path : ReadDefaultPath(DefaultUserFolder(QStringLiteral("vornhold")));
    NewTaskDialog dialog(area, zoom, mapsType, folder, task_ ? &task_->Counts() : nullptr, this);
    if (dialog.exec() == QDialog::Accepted)
        statusBar()->showMessage(tr("Wrote %1: open it in Tessaly with Open task.").arg(dialog.WrittenFile()), 10000);
}

void ViewerWindow::CopyBounds()
{
    if (const auto selection = view_->Selection())
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
    if (!shown)
        return;
    const TileServers servers = ReadTileServers();
    online_ = std::make_unique<OnlineTileLoader>(
        OnlineMapSource{servers.Mapnik, servers.UserAgent, servers.HomePage},
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/online-tiles"));
    view_->SetOnlineMap(online_.get());
}

void ViewerWindow::UpdateSelectionActions()
{
    const bool selected = view_->Selection().has_value();
    newTaskAction_->setEnabled(selected);
    copyBoundsAction_->setEnabled(selected);
}

QStringList ViewerWindow::StatusTexts() const
{
    return {decimal_->text(), dms_->text(), tile_->text(), file_->text()};
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
    const int x = int(std::floor(map->x()));
    const int y = int(std::floor(map->y()));
    tile_->setText(tr("Tile x %1  y %2").arg(x).arg(y));
    if (!task_ || !task_->Contains(x, y)) {
        file_->clear();
        return;
    }
    const auto state = task_->StateOf(x, y);
    file_->setText(task_->Task().TileFileName(x, y) + (state ? QStringLiteral(" (%1)").arg(TileStateName(*state)) : QString()));
}

void ViewerWindow::ShowProgress()
{
    if (!task_ || task_->IsCounted()) {
        progress_->clear();
        return;
    }
    const QLocale locale;
    progress_->setText(task_->IsListed() ? tr("Checking files: %1 of %2")
                                              .arg(locale.toString(task_->FilesChecked()), locale.toString(task_->FilesToCheck()))
                                        : tr("Listing the task's files..."));
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
