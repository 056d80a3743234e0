#pragma once

#include "platform/folders.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A fresh folder for one test, removed afterwards. Path() ends in the separator.
class TempFolder {
public:
    QString Path() const { return WithTrailingSeparator(QDir::toNativeSeparators(dir_.path())); }
    QString File(const QString& name) const { return Path() + name; }

    QByteArray Read(const QString& name) const
    {
        QFile file(File(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void Write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(File(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

private:
    QTemporaryDir dir_;
};
