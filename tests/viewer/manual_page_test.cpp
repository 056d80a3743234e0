#include "task/tile_state.h"
#include "viewer/tile_style.h"

#include <QFile>
#include <gtest/gtest.h>

// The manual page names the tile states as the window's legend does.
TEST(ViewerManualPage, NamesEveryStateOfTheLegend)
{
    QFile page(QStringLiteral(TESSALY_SOURCE_DIR "/packaging/man/orvane.1"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(page.readAll());
    const QString description = text.section(QStringLiteral(".SH DESCRIPTION"), 1).section(QStringLiteral(".SH "), 0, 0).simplified();
    for (const TileState state : LegendStates())
        EXPECT_TRUE(description.contains(TileStateName(state))) << TileStateName(state).toStdString();
}
