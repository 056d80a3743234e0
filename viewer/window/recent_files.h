#pragma once

#include <QStringList>

// The project files the viewer opened last, newest first, kept in
// orvane.conf in the user's settings folder of all three programs.
class RecentFiles {
public:
    static constexpr int kMaxFiles = 8;

    QStringList Files() const;
    void Add(const QString& file);
};
