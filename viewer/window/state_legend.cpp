#include "viewer/window/state_legend.h"

#include "viewer/tile_style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

StateLegend::StateLegend(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const int side = fontMetrics().height() - 4;
    for (TileState state : LegendStates()) {
        QPixmap swatch(side, side);
        swatch.fill(TileStateColor(state));
        QPainter(&swatch).drawRect(0, 0, side - 1, side - 1);
        auto* mark = new QLabel(this);
        mark->setPixmap(swatch);
        layout->addWidget(mark);
        layout->addWidget(new QLabel(TileStateName(state), this));
        layout->addSpacing(6);
    }
}
