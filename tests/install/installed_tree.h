#pragma once

#include "support/temp_folder.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <gtest/gtest.h>

// What a program run in a test printed and how it ended.
struct ProgramRun {
    int exitCode = -1;
    QString out;
    QString err;
    bool ended = false;
};

inline ProgramRun RunProgram(const QString& program, const QStringList& arguments,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(), int timeoutMs = 120000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProgramRun run;
    run.ended = process.waitForFinished(timeoutMs);
    if (!run.ended)
        process.kill();
    process.waitForFinished();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// The names among `tools` that the machine lacks, for a test to skip with;
// scripts/setup.sh installs them all.
inline std::string MissingTools(const QStringList& tools)
{
    QStringList missing;
    for (const QString& tool : tools)
        if (QStandardPaths::findExecutable(tool).isEmpty())
            missing << tool;
    return missing.isEmpty() ? std::string() : "not installed: " + missing.join(u' ').toStdString();
}

// `cmake --install` of this build into a fresh DESTDIR with the prefix /usr.
class InstalledTree : public testing::Test {
protected:
    void SetUp() override
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), destdir.Path());
        const ProgramRun install = RunProgram(QStringLiteral(TESSALY_CMAKE),
            {QStringLiteral("--install"), QStringLiteral(TESSALY_BUILD_DIR), QStringLiteral("--prefix"), QStringLiteral("/usr")},
            environment);
        ASSERT_EQ(install.exitCode, 0) << install.out.toStdString() << install.err.toStdString();
    }

    QString Usr(const QString& path) const { return destdir.Path() + QStringLiteral("usr/") + path; }

    TempFolder destdir;
};
