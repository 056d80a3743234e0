#include "combiner/overview_pyramid.h"

#include "combiner/geotiff_writer.h"
#include "combiner/tile_bands.h"
#include "combiner/tile_halving.h"

OverviewPyramid::OverviewPyramid(qint64 columns, qint64 rows, int levels, const QString& folder, const QString& target)
    : columnsOfFull_(columns), rowsOfFull_(rows)
{
    for (int level = 1; level <= levels; ++level) {
        columns = (columns + 1) / 2, rows = (rows + 1) / 2;
        Level l;
        l.Columns = columns, l.Rows = rows;
        l.Data = std::make_unique<ScratchFile>(folder, target);
        l.Sizes.reserve(size_t(columns * rows));
        l.Upper.resize(size_t(columns));
        levels_.push_back(std::move(l));
    }
}

int OverviewPyramid::LevelsFor(qint64 columns, qint64 rows)
{
    int levels = 0;
    while ((qint64(1) << levels) < std::max(columns, rows))
        ++levels;
    return levels;
}

void OverviewPyramid::AddHalf(int from, qint64 column, qint64 row, const QImage& half)
{
    if (from >= Levels())
        return;
    Level& l = levels_[size_t(from)];
    const qint64 columnsAbove = from == 0 ? columnsOfFull_ : levels_[size_t(from - 1)].Columns;
    const qint64 rowsAbove = from == 0 ? rowsOfFull_ : levels_[size_t(from - 1)].Rows;
    QByteArray& upper = l.Upper[size_t(column / 2)];
    const bool first = column % 2 == 0;
    if (first && !upper.isEmpty()) {
        l.Building = UnpackTile(upper);
        upper.clear();
    }
    if (!half.isNull()) {
        if (l.Building.isNull())
            l.Building = PremultipliedTile(QImage());
        PlaceQuarter(l.Building, half, int(column % 2), int(row % 2));
    }
    if (!(column % 2 == 1 || column == columnsAbove - 1))
        return;
    if (row % 2 == 0 && row != rowsAbove - 1) {
        // The lower half comes with the next row: wait compressed.
        if (!l.Building.isNull())
            upper = PackTileBands(l.Building);
        l.Building = QImage();
        return;
    }
    Complete(from + 1, column / 2, row / 2, std::exchange(l.Building, QImage()));
}

void OverviewPyramid::Complete(int level, qint64 column, qint64 row, QImage tile)
{
    Level& l = levels_[size_t(level - 1)];
    const QByteArray data = tile.isNull() ? TransparentTileData() : DeflateTilePixels(tile.convertToFormat(QImage::Format_RGBA8888));
    l.Data->Append(data);
    l.Sizes.push_back(quint32(data.size()));
    AddHalf(level, column, row, tile.isNull() || level == Levels() ? QImage() : HalveImage(tile));
}
