#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cstring>
#include <gtest/gtest.h>

// A program run as a script with no display at all runs it: what it must give.
struct ExpectedRun {
    QStringList Arguments;
    int Status = 0;
    const char* OutStart = "";  // "": nothing on stdout
    const char* ErrStart = "";  // "": nothing on stderr
};

// Starts `program` with DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM removed
// from its environment.
inline void StartWithoutDisplay(QProcess& process, const QString& program, const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
}

inline void ExpectRunWithoutDisplay(const QString& program, const ExpectedRun& expected)
{
    SCOPED_TRACE(expected.Arguments.join(u' ').toStdString());
    QProcess process;
    StartWithoutDisplay(process, program, expected.Arguments);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), expected.Status);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_EQ(out.left(qsizetype(std::strlen(expected.OutStart))), QString::fromLatin1(expected.OutStart));
    EXPECT_EQ(out.isEmpty(), !*expected.OutStart) << out.toStdString();
    EXPECT_EQ(err.left(qsizetype(std::strlen(expected.ErrStart))), QString::fromLatin1(expected.ErrStart));
    EXPECT_EQ(err.isEmpty(), !*expected.ErrStart) << err.toStdString();
}
