#include "placed_program.h"

#include <QDir>
#include <QFile>
#include <QUrl>

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
    QDir(exeFolder).mkpath(QStringLiteral("ini/sources"));
    QFile source(exeFolder + QStringLiteral("/ini/sources/bench.ini"));
    const QString host = QUrl(baseUrl).host();
    if (!source.open(QIODevice::WriteOnly))
        return false;
    source.write(QStringLiteral("[Source]\nUrl=%1/{z}/{x}/{y}.png\nSubdomains=%2\nMaxZoom=18\nPause=0\nUserAgent=bench\n"
                                "\n[Headers]\nX-Api-Key=bench\n")
                     .arg(QString(baseUrl).replace(host, QStringLiteral("{s}")), host)
                     .toUtf8());
    return true;
}
