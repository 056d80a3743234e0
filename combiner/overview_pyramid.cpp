#include "combiner/overview_pyramid.h"

#include "combiner/geotiff_writer.h"
#include "combiner/parallel_for.h"
#include "combiner/tile_halving.h"

OverviewPyramid::OverviewPyramid(qint64 columns, qint64 rows, int levels, const QString& folder, const QString& target)
    : rowsOfFull_(rows)
{
    for (int level = 1; level <= levels; ++level) {
        columns = (columns + 1) / 2, rows = (rows + 1) / 2;
        Level l;
        l.Columns = columns, l.Rows = rows;
        l.Data = std::make_unique<ScratchFile>(folder, target);
        l.Sizes.reserve(size_t(columns * rows));
        l.Row.resize(size_t(columns));
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
    if (half.isNull() || from >= Levels())
        return;
    QImage& tile = levels_[size_t(from)].Row[size_t(column / 2)];
    if (tile.isNull())
        tile = PremultipliedTile(QImage());
    PlaceQuarter(tile, half, int(column % 2), int(row % 2));
}

void OverviewPyramid::RowDone(int from, qint64 row)
{
    if (from >= Levels())
        return;
    const qint64 rowsAbove = from == 0 ? rowsOfFull_ : levels_[size_t(from - 1)].Rows;
    if (row % 2 == 1 || row == rowsAbove - 1)
        FlushRow(from + 1, row / 2);
}

void OverviewPyramid::FlushRow(int level, qint64 row)
{
    Level& l = levels_[size_t(level - 1)];
    const bool last = level == Levels();
    std::vector<QByteArray> encoded(l.Row.size());
    std::vector<QImage> halves(l.Row.size());
    ParallelFor(int(l.Row.size()), [&](int c) {
        const QImage& tile = l.Row[size_t(c)];
        if (tile.isNull())
            return;
        encoded[size_t(c)] = DeflateTilePixels(tile.convertToFormat(QImage::Format_RGBA8888));
        if (!last)
            halves[size_t(c)] = HalveImage(tile);
    });
    for (size_t c = 0; c < l.Row.size(); ++c) {
        const QByteArray& data = encoded[c].isNull() ? TransparentTileData() : encoded[c];
        l.Data->Append(data);
        l.Sizes.push_back(quint32(data.size()));
        l.Row[c] = QImage();
        AddHalf(level, qint64(c), row, halves[c]);
    }
    RowDone(level, row);
}
