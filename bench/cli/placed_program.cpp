#include "placed_program.h"

#include <QDir>
#include <QFile>

bool PlaceProgram(const QString& exeFolder, const QString& baseUrl)
{
    QDir(exeFolder).mkpath(QStringLiteral("ini"));
    QDir(exeFolder).mkpath(QStringLiteral("blankimg"));
    const QString program = exeFolder + QStringLiteral("/tessaly");
    QFile::remove(program);
    QFile config(exeFolder + QStringLiteral("/ini/config.ini"));
    if (!QFile::copy(QStringLiteral(TESSALY_PROGRAM), program) || !config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral("[Servers]\r\nMapnik=%1/{z}/{x}/{y}.png\r\nHomePage=%1/\r\nMapnikPause=0\r\n")
                     .arg(baseUrl).toUtf8());
    return true;
}
