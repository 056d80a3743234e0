#pragma once

#include "viewer/selection_task.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QSpinBox;

// "New task from selection...": asks for the zoom levels (from / to), the
// folder and the task name, shows the tile count and an estimate of the
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
    // The new tasks' inputs, one per zoom level, with the configured servers.
    QList<TaskParameters> Tasks(const QString& folder) const;
    // The message that refuses the tasks under the tile usage policy, if any.
    std::optional<QString> PolicyRefusal(const QList<TaskParameters>& tasks) const;

    // The start path's checks and the shape's files for a drawn area.
    QStringList WriteShapedTasks(const QString& folder) const;

    GeoArea area_;
    std::shared_ptr<const ShapedArea> shape_;
    int mapsType_;
    const TileCounts* averageFrom_;
    QSpinBox* zoom_;
    QSpinBox* zoomTo_;
    int followedZoom_;
    QLineEdit* folder_;
    QLineEdit* name_;
    QLabel* estimate_;
    QStringList written_;
};
