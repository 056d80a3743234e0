#pragma once

#include <QStringList>

// The project files the viewer opened last, newest first, kept in the user's
// settings of the viewer.
class RecentFiles {
public:
    static constexpr int kMaxFiles = 8;

    QStringList Files() const;
    void Add(const QString& file);
};
