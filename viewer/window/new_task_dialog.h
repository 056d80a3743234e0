#pragma once

#include "viewer/selection_task.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QSpinBox;

// "New task from selection...": asks for the zoom level, the folder and the
// task name, shows the tile count and an estimate of the download size, and
// writes the project file only when the main window could start the task.
class NewTaskDialog : public QDialog {
    Q_OBJECT
public:
    // `averageFrom`: the counts of the task on view (for the size estimate), or nullptr.
    NewTaskDialog(const GeoArea& area, int zoom, int mapsType, const QString& folder, const TileCounts* averageFrom,
                  QWidget* parent = nullptr);

    QSpinBox* Zoom() const { return zoom_; }
    QLineEdit* Folder() const { return folder_; }
    QLineEdit* TaskName() const { return name_; }
    QString EstimateText() const;
    // The typed task name with ".qtsk" appended as Start appends it.
    QString ProjectFileName() const;
    // The project file written by the last accept.
    QString WrittenFile() const { return written_; }

    void accept() override;

private:
    void UpdateEstimate();

    GeoArea area_;
    int mapsType_;
    const TileCounts* averageFrom_;
    QSpinBox* zoom_;
    QLineEdit* folder_;
    QLineEdit* name_;
    QLabel* estimate_;
    QString written_;
};
