#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <optional>

// gdalinfo -json of a file; empty when GDAL's tools are not installed.
inline QJsonObject GdalInfo(const QString& file)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gdalinfo")).isEmpty())
        return {};
    QProcess gdal;
    gdal.start(QStringLiteral("gdalinfo"), {QStringLiteral("-json"), file});
    gdal.waitForFinished(60000);
    return QJsonDocument::fromJson(gdal.readAllStandardOutput()).object();
}

struct ValidatorRun {
    int ExitCode = -1;
    QString Output;
};

// One of the validator scripts GDAL's Python package ships
// (validate_cloud_optimized_geotiff.py, validate_gpkg.py) run on `arguments`;
// nothing when the package is not installed.
inline std::optional<ValidatorRun> RunGdalValidator(const QString& script, const QStringList& arguments)
{
    const QString path = QStringLiteral("/usr/lib/python3/dist-packages/osgeo_utils/samples/") + script;
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFile::exists(path) || !QFile::exists(python))
        return std::nullopt;
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(python, QStringList{path} + arguments);
    run.waitForFinished(120000);
    const QString output = QString::fromUtf8(run.readAll());
    if (output.contains(QStringLiteral("No module named 'osgeo'")))
        return std::nullopt;
    return ValidatorRun{run.exitCode(), output};
}
