#pragma once

#include "tile_block.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// nginx serving a tree <zoom>/<x>/<y>.png of static tiles on 127.0.0.1. It
// runs as this process's child with its own configuration, pid file, logs
// and tiles in a temporary folder inside `parentFolder` (which nginx's
// workers must be able to enter), dies with this process and is stopped by
// the destructor.
class NginxTileServer {
public:
    NginxTileServer(const QString& parentFolder, const TileBlock& block, const QByteArray& tileBody);
    ~NginxTileServer();

    // Empty when nginx could not be started; Failure() then says why.
    QString BaseUrl() const { return baseUrl_; }
    QString Failure() const { return failure_; }

private:
    void WriteTiles(const TileBlock& block, const QByteArray& tileBody);
    bool Start(int port);
    static bool AcceptsConnections(int port);

    QTemporaryDir folder_;
    QProcess nginx_;
    QString baseUrl_;
    QString failure_;
};
