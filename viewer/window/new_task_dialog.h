#pragma once

#include "viewer/selection_task.h"
#include "viewer/task_map_choice.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// "New task from selection...": asks for the map (a built-in map type or a
// map source of the sources folder), the zoom levels (from / to, within
// the map's limits), the folder and the task name, shows the tile count and an estimate of the
// download size, and writes the project files only when the main window could
// start the task: one, or for several zoom levels one per zoom level, named as
// the main window names the tasks of a zoom series.
class NewTaskDialog : public QDialog {
    Q_OBJECT
public:
    // `averageFrom`: the counts of the task on view (for the size estimate), or nullptr.
    // With `shape` (a polygon drawn on the map, `area` its bounds) the tasks
    // are shaped: they count and write the shape's tiles and its area file.
    NewTaskDialog(const GeoArea& area, int zoom, int zoomTo, int mapsType, const QString& folder,
                  const TileCounts* averageFrom, std::shared_ptr<const ShapedArea> shape = nullptr,
                  QWidget* parent = nullptr);

    // The maps offered (see TaskMapChoices), `mapsType` chosen at first.
    QComboBox* Map() const { return map_; }
    // Chooses the map of a task of `mapsType` (for a source, of `sourceName`).
    void ChooseMap(int mapsType, const QString& sourceName);
    QSpinBox* Zoom() const { return zoom_; }
    // Never below Zoom(): it follows Zoom() up, and down while they are equal.
    QSpinBox* ZoomTo() const { return zoomTo_; }
    QLineEdit* Folder() const { return folder_; }
    QLineEdit* TaskName() const { return name_; }
    QString EstimateText() const;
    // The typed task name with ".qtsk" appended as Start appends it.
    QString ProjectFileName() const;
    // The project files of the chosen zoom levels, lowest first.
    QStringList ProjectFileNames() const;
    // The project files written by the last accept.
    QStringList WrittenFiles() const { return written_; }

    void accept() override;

private:
    void UpdateEstimate();
    void ZoomChanged(int zoom);
    // The spinners offer the zoom levels the chosen map has tiles for.
    void FollowMapLimits();
    const TaskMapChoice& ChosenMap() const;
    // The new tasks' inputs, one per zoom level, with the configured servers.
    QList<TaskParameters> Tasks(const QString& folder) const;
    // The message that refuses the tasks (their map source's limits, the
    // tile usage policy), if any.
    std::optional<QString> PolicyRefusal(const QList<TaskParameters>& tasks) const;

    // The start path's checks and the shape's files for a drawn area.
    QStringList WriteShapedTasks(const QString& folder) const;

    GeoArea area_;
    std::shared_ptr<const ShapedArea> shape_;
    QList<TaskMapChoice> maps_;
    QComboBox* map_;
    const TileCounts* averageFrom_;
    QSpinBox* zoom_;
    QSpinBox* zoomTo_;
    int followedZoom_;
    QLineEdit* folder_;
    QLineEdit* name_;
    QLabel* estimate_;
    QStringList written_;
};
