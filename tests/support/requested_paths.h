#pragma once

#include "support/loopback_http_server.h"

#include <QStringList>

// The paths the server was asked for, in order.
inline QStringList RequestedPaths(const LoopbackHttpServer& server)
{
    QStringList paths;
    for (const QByteArray& head : server.RequestHeads())
        paths << QString::fromLatin1(head.split(' ').value(1));
    return paths;
}
