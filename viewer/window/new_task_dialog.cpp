#include "viewer/window/new_task_dialog.h"

#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "settings/config_file.h"
#include "task/start_inputs.h"
#include "task/task_size_estimate.h"
#include "task/tile_usage_policy.h"

#include <QDialogButtonBox>
#include <QDir>
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

NewTaskDialog::NewTaskDialog(const GeoArea& area, int zoom, int mapsType, const QString& folder,
                             const TileCounts* averageFrom, QWidget* parent)
    : QDialog(parent), area_(area), mapsType_(mapsType), averageFrom_(averageFrom)
{
    setWindowTitle(tr("New task from selection"));
    zoom_ = new QSpinBox(this);
    zoom_->setRange(kFirstZoom, kLastZoom);
    zoom_->setValue(std::clamp(zoom, kFirstZoom, kLastZoom));
    folder_ = new QLineEdit(folder, this);
    auto* browse = new QPushButton(tr("Browse..."), this);
    name_ = new QLineEdit(QStringLiteral("selection") + kExtension, this);
    estimate_ = new QLabel(this);
    estimate_->setWordWrap(true);

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_);
    folderRow->addWidget(browse);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Area (left, right, top, bottom):"), new QLabel(BoundsText(area), this));
    form->addRow(tr("Zoom level:"), zoom_);
    form->addRow(tr("Folder:"), folderRow);
    form->addRow(tr("Task name:"), name_);
    form->addRow(estimate_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Write task"));
    form->addRow(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &NewTaskDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(zoom_, &QSpinBox::valueChanged, this, &NewTaskDialog::UpdateEstimate);
    connect(browse, &QPushButton::clicked, this, [this] {
        RunGuarded([this] {
            if (const auto chosen = ChooseFolder(this, tr("Folder of the new task")))
                folder_->setText(WithTrailingSeparator(QDir::toNativeSeparators(*chosen)));
        });
    });
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

void NewTaskDialog::UpdateEstimate()
{
    try {
        const TaskParameters p = SelectionTaskParameters(area_, zoom_->value(), mapsType_, QString(), QString());
        const qint64 tiles = TaskTileCount(p);
        // Worded and rounded as the main window's estimate of the same task.
        QString text = TileCountAndSizeText(tiles, AverageTileBytes(averageFrom_)) + tr(" to download.");
        TaskParameters withServer = p;
        withServer.Servers = ReadTileServers();
        if (TileUsagePolicyRefusal(withServer))
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
        if (QFileInfo::exists(folder + name)) {
            ShowMessage(tr("The task %1 exists already. Please choose another task name.").arg(folder + name));
            return;
        }
        TaskParameters p = SelectionTaskParameters(area_, zoom_->value(), mapsType_, folder, name);
        p.Servers = ReadTileServers();
        if (const auto refusal = TileUsagePolicyRefusal(p)) {
            ShowMessage(*refusal);
            return;
        }
        WriteSelectionTask(p);
        written_ = folder + name;
        QDialog::accept();
    });
}
