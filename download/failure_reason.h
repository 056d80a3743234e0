#pragma once

#include <QString>

// Why a tile failed, in words a summary can group by: "HTTP 500",
// "connection refused by 127.0.0.1:19999". `failureText` is the client's
// failure text of the tile's last attempt, `url` the tile's address (its
// host and port name the server of a transport failure).
QString FailureReasonText(const QString& failureText, const QString& url);
