#pragma once

#include "download/http_client.h"
#include "platform/folders.h"
#include "support/loopback_http_server.h"
#include "support/requested_paths.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

// The built program copied into a temporary executable folder whose
// config.ini points the MAPNIK tiles at a loopback server, run with no
// display at all: DISPLAY and QT_QPA_PLATFORM are removed from its
// environment.
class TessalyCommandTest : public testing::Test {
protected:
    TessalyCommandTest()
    {
        InitializeHttp();
        QDir(exe.Path()).mkpath(QStringLiteral("ini"));
        QDir(exe.Path()).mkpath(QStringLiteral("blankimg"));
        exe.Write("blankimg/blank.png", "blank");
        QFile::copy(QStringLiteral(TESSALY_PROGRAM), Program());
        QFile(Program()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WriteConfig("MapnikPause=0\r\n");
    }

    QString Program() const { return exe.File("tessaly"); }

    // config.ini: the Servers section for the loopback server, then `more`.
    void WriteConfig(const QByteArray& more)
    {
        const QByteArray base = server.BaseUrl().toLatin1();
        exe.Write("ini/config.ini", "[Servers]\r\nMapnik=" + base + "/{z}/{x}/{y}.png\r\nHomePage=" + base
                + "/\r\n" + more);
    }

    void Begin(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(work.Path());
        process.start(Program(), arguments);
        ASSERT_TRUE(process.waitForStarted());
    }

    struct Outcome {
        int Status = -1;
        QString Out;
        QString Err;
    };

    Outcome Run(const QStringList& arguments)
    {
        QProcess process;
        Begin(process, arguments);
        return Finish(process);
    }

    Outcome Finish(QProcess& process)
    {
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
    }

    // "new NAME --area 10,100,10,-10 --zoom 4 --folder <work>": ten tiles at zoom 4.
    QStringList NewTask(const QString& name, const QString& zoom = QStringLiteral("4"))
    {
        return {"new", name, "--area", "10,100,10,-10", "--zoom", zoom, "--folder", work.Path()};
    }

    QStringList RequestedPaths() const { return ::RequestedPaths(server); }

    LoopbackHttpServer server;
    TempFolder exe;
    TempFolder work;
};
