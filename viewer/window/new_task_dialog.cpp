#include "viewer/window/new_task_dialog.h"

#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "settings/config_file.h"
#include "task/configured_servers.h"
#include "viewer/drawn_area_task.h"
#include "task/start_inputs.h"
#include "task/task_size_estimate.h"
#include "task/tile_usage_policy.h"
#include "task/zoom_series.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {
// The zoom levels the main window offers.
constexpr int kFirstZoom = 1;
constexpr int kLastZoom = 18;
const QString kExtension = QStringLiteral(".qtsk");
}

NewTaskDialog::NewTaskDialog(const GeoArea& area, int zoom, int zoomTo, int mapsType, const QString& folder,
                             const TileCounts* averageFrom, std::shared_ptr<const ShapedArea> shape, QWidget* parent)
    : QDialog(parent), area_(area), shape_(std::move(shape)), maps_(TaskMapChoices(ReadMapSources())),
      averageFrom_(averageFrom)
{
    setWindowTitle(tr("New task from selection"));
    map_ = new QComboBox(this);
    for (const TaskMapChoice& choice : std::as_const(maps_))
        map_->addItem(choice.Title);
    map_->setCurrentIndex(TaskMapChoiceIndex(maps_, mapsType, QString()));
    zoom_ = new QSpinBox(this);
    zoom_->setRange(kFirstZoom, kLastZoom);
    zoom_->setValue(std::clamp(zoom, kFirstZoom, kLastZoom));
    followedZoom_ = zoom_->value();
    zoomTo_ = new QSpinBox(this);
    zoomTo_->setRange(kFirstZoom, kLastZoom);
    zoomTo_->setValue(std::clamp(zoomTo, zoom_->value(), kLastZoom));
    folder_ = new QLineEdit(folder, this);
    auto* browse = new QPushButton(tr("&Browse..."), this);
    name_ = new QLineEdit(QStringLiteral("selection") + kExtension, this);
    estimate_ = new QLabel(this);
    estimate_->setWordWrap(true);

    auto* zoomRow = new QHBoxLayout;
    zoomRow->addWidget(zoom_);
    auto* toLabel = new QLabel(tr("&to:"), this);
    toLabel->setBuddy(zoomTo_);
    zoomRow->addWidget(toLabel);
    zoomRow->addWidget(zoomTo_);
    zoomRow->addStretch();
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_);
    folderRow->addWidget(browse);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Area (left, right, top, bottom):"), new QLabel(BoundsText(area), this));
    const auto labelFor = [this](const QString& text, QWidget* buddy) {
        auto* label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    form->addRow(labelFor(tr("&Map:"), map_), map_);
    form->addRow(labelFor(tr("&Zoom level from:"), zoom_), zoomRow);
    form->addRow(labelFor(tr("&Folder:"), folder_), folderRow);
    form->addRow(labelFor(tr("Task &name:"), name_), name_);
    form->addRow(estimate_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Write task"));
    form->addRow(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &NewTaskDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(map_, &QComboBox::currentIndexChanged, this, &NewTaskDialog::FollowMapLimits);
    connect(zoom_, &QSpinBox::valueChanged, this, &NewTaskDialog::ZoomChanged);
    connect(zoomTo_, &QSpinBox::valueChanged, this, [this](int zoomTo) {
        if (zoomTo < zoom_->value())
            zoomTo_->setValue(zoom_->value());
        else
            UpdateEstimate();
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        RunGuarded([this] {
            if (const auto chosen = ChooseFolder(this, tr("Folder of the new task")))
                folder_->setText(WithTrailingSeparator(QDir::toNativeSeparators(*chosen)));
        });
    });
    FollowMapLimits();
}

void NewTaskDialog::ChooseMap(int mapsType, const QString& sourceName)
{
    map_->setCurrentIndex(TaskMapChoiceIndex(maps_, mapsType, sourceName));
}

const TaskMapChoice& NewTaskDialog::ChosenMap() const
{
    return maps_[std::max(0, map_->currentIndex())];
}

void NewTaskDialog::FollowMapLimits()
{
    const auto [lowest, highest] = ChosenMap().ZoomRange(kFirstZoom, kLastZoom);
    {
        // Clamped quietly: the series' following rule sees the new values once.
        const QSignalBlocker quietFrom(zoom_);
        const QSignalBlocker quietTo(zoomTo_);
        zoom_->setRange(lowest, highest);
        zoomTo_->setRange(lowest, highest);
    }
    ZoomChanged(zoom_->value());
}

void NewTaskDialog::ZoomChanged(int zoom)
{
    const bool followed = zoomTo_->value() == followedZoom_;
    followedZoom_ = zoom;
    if (followed || zoomTo_->value() < zoom) {
        const QSignalBlocker quiet(zoomTo_);
        zoomTo_->setValue(zoom);
    }
    UpdateEstimate();
}

QString NewTaskDialog::EstimateText() const
{
    return estimate_->text();
}

QString NewTaskDialog::ProjectFileName() const
{
    // The main window's own rule, so that Open task and Start find this file.
    return ProjectFileNameFor(name_->text().trimmed());
}

QStringList NewTaskDialog::ProjectFileNames() const
{
    const QString name = ProjectFileName();
    if (zoomTo_->value() == zoom_->value())
        return {name};
    QStringList names;
    for (int zoom = zoom_->value(); zoom <= zoomTo_->value(); ++zoom)
        names << SeriesProjectFileName(name, zoom);
    return names;
}

QList<TaskParameters> NewTaskDialog::Tasks(const QString& folder) const
{
    const QStringList names = ProjectFileNames();
    const TileServers servers = ReadTileServers();
    QList<TaskParameters> tasks;
    for (int i = 0; i < names.size(); ++i) {
        TaskParameters p = SelectionTaskParameters(area_, zoom_->value() + i, ChosenMap().MapsType, folder, names[i],
                                                   shape_, ChosenMap().Source);
        p.Servers = servers;
        tasks.append(p);
    }
    return tasks;
}

std::optional<QString> NewTaskDialog::PolicyRefusal(const QList<TaskParameters>& tasks) const
{
    qint64 tiles = 0;
    for (const TaskParameters& task : tasks) {
        if (const auto refusal = MapSourceRefusal(task))
            return refusal;
        if (const auto refusal = TileUsagePolicyRefusal(task))
            return refusal;
        tiles += TaskTileCount(task);
    }
    // Each zoom level within the limit, but the series as a whole is one bulk
    // download: the policy's own decision over the sum, in this dialog's words.
    if (!TileUsagePolicyRefusal(tasks.first(), tiles))
        return std::nullopt;
    return tr("These %1 zoom levels hold %2 tiles in all. The tile usage policy of the OpenStreetMap Foundation "
              "(https://operations.osmfoundation.org/policies/tiles/) forbids bulk downloading from its tile servers: "
              "the tasks for them may hold at most %3 tiles together.\n\n"
              "Choose a smaller area or fewer zoom levels, or set the address of a tile server that allows this use "
              "in the Servers section of the configuration file %4.")
        .arg(tasks.size())
        .arg(tiles)
        .arg(kMaxTilesFromOpenStreetMap)
        .arg(ConfigFileName());
}

void NewTaskDialog::UpdateEstimate()
{
    try {
        const QList<TaskParameters> tasks = Tasks(QString());
        qint64 tiles = 0;
        for (const TaskParameters& task : tasks)
            tiles += TaskTileCount(task);
        const double average = AverageTileBytes(averageFrom_);
        // Worded and rounded as the main window's estimate of the same tasks.
        QString text = tasks.size() == 1 ? TileCountAndSizeText(tiles, average)
                                         : tr("%1 tiles in %2 zoom levels, about %3")
                                               .arg(GroupedNumber(tiles))
                                               .arg(tasks.size())
                                               .arg(ApproximateSizeText(double(tiles) * average));
        text += tr(" to download.");
        if (TileUsagePolicyRefusal(tasks.first(), tiles))
            text += u'\n' + tr("The map's tile server is one of openstreetmap.org: more than %1 tiles would be refused.")
                                .arg(kMaxTilesFromOpenStreetMap);
        estimate_->setText(text);
    } catch (const AppError& error) {
        estimate_->setText(error.Message());
    }
}

void NewTaskDialog::accept()
{
    RunGuarded([this] {
        const QString folder = WithTrailingSeparator(QDir::toNativeSeparators(folder_->text().trimmed()));
        const QString name = ProjectFileName();
        if (name == kExtension || name.contains(u'/') || name.contains(u'\\')) {
            ShowMessage(tr("Please enter a task name without a folder."));
            return;
        }
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            ShowMessage(tr("The folder %1 does not exist.").arg(folder));
            return;
        }
        for (const QString& file : ProjectFileNames()) {
            if (QFileInfo::exists(folder + file)) {
                ShowMessage(tr("The task %1 exists already. Please choose another task name.").arg(folder + file));
                return;
            }
        }
        const QList<TaskParameters> tasks = Tasks(folder);
        if (const auto refusal = PolicyRefusal(tasks)) {
            ShowMessage(*refusal);
            return;
        }
        if (shape_) {
            written_ = WriteShapedTasks(folder);
            if (!written_.isEmpty())
                QDialog::accept();
            return;
        }
        QStringList written;
        try {
            for (const TaskParameters& task : tasks) {
                WriteSelectionTask(task);
                written << folder + task.TaskName;
            }
        } catch (...) {
            // All of the series or none of it: a part would be taken for a whole series.
            for (const QString& file : std::as_const(written))
                QFile::remove(file);
            throw;
        }
        written_ = written;
        QDialog::accept();
    });
}

QStringList NewTaskDialog::WriteShapedTasks(const QString& folder) const
{
    const auto confirm = [this](qint64 tileCount, int zoom) {
        return AskYesNo(LargeTaskQuestion(tileCount, AverageTileBytes(averageFrom_), zoom));
    };
    try {
        return WriteDrawnAreaTasks(area_, shape_, zoom_->value(), zoomTo_->value(), ChosenMap(), folder,
                                   name_->text().trimmed(), confirm);
    } catch (const Refusal& refusal) {
        for (const QString& message : refusal.Messages())
            ShowMessage(message);
    }
    return {};
}
