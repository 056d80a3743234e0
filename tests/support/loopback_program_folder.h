#pragma once

#include "download/http_client.h"
#include "platform/folders.h"
#include "support/loopback_http_server.h"
#include "support/temp_folder.h"

#include <QDir>

// The program's folder while it lives: a fake executable folder with the
// blank image and a config.ini whose MAPNIK tiles come from `server`.
struct LoopbackProgramFolder {
    explicit LoopbackProgramFolder(const LoopbackHttpServer& server)
    {
        InitializeHttp();
        OverrideExecutableFolder(exe.Path());
        QDir(exe.Path()).mkpath(QStringLiteral("ini"));
        QDir(exe.Path()).mkpath(QStringLiteral("blankimg"));
        exe.Write("blankimg/blank.png", "blank");
        exe.Write("ini/config.ini", "[Servers]\r\nMapnik=" + server.BaseUrl().toLatin1() + "/{z}/{x}/{y}.png\r\n");
    }
    ~LoopbackProgramFolder() { OverrideExecutableFolder(QString()); }

    TempFolder exe;
};
