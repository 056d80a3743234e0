#pragma once

#include <QString>

// GDAL's drivers registered once, and GDAL's error messages kept from the
// console for the lifetime of a session: its last one is read for the user's
// text instead.
class GdalSession {
public:
    GdalSession();
    ~GdalSession();
    GdalSession(const GdalSession&) = delete;
    GdalSession& operator=(const GdalSession&) = delete;

    // GDAL's text for the last failure, or a general one when it gave none.
    QString LastError() const;
};
