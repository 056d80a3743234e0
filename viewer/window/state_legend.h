#pragma once

#include <QWidget>

// The colour of each tile state and its name, beside the map rather than on
// it, so it never hides a tile.
class StateLegend : public QWidget {
    Q_OBJECT
public:
    explicit StateLegend(QWidget* parent = nullptr);
};
