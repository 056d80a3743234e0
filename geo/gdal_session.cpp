#include "geo/gdal_session.h"

#include <cpl_error.h>
#include <gdal.h>
#include <mutex>

GdalSession::GdalSession()
{
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

GdalSession::~GdalSession()
{
    CPLPopErrorHandler();
}

QString GdalSession::LastError() const
{
    const QString text = QString::fromUtf8(CPLGetLastErrorMsg()).trimmed();
    return text.isEmpty() ? QStringLiteral("not a file of a kind GDAL reads") : text;
}
