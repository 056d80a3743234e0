#include "recovery/redownload_window.h"

#include "task/map_type.h"

TfrmFlt::TfrmFlt(QWidget* parent) : QDialog(parent), userAgent_(TileServers().UserAgent)
{
    setWindowTitle(QStringLiteral("Re-Download failed files"));
}

void TfrmFlt::SetUserAgent(const QString& userAgent)
{
    userAgent_ = userAgent;
}
