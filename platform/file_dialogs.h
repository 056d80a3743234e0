#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The folder browser and the file-open dialog, each with a hook for tests.

// Only file-system folders can be chosen; nothing is preselected.
// Empty when the user cancels.
std::optional<QString> ChooseFolder(QWidget* owner, const QString& title);

// `filter` in the form "Projects(*.qtsk)|*.qtsk". A typed name need not
// exist. Empty when the user cancels.
std::optional<QString> ChooseFileToOpen(
    QWidget* owner, const QString& title, const QString& filter, const QString& initialFolder = {});

// The save dialog: no question about replacing (the caller asks). Empty when
// the user cancels.
std::optional<QString> ChooseFileToSave(
    QWidget* owner, const QString& title, const QString& filter, const QString& initialFile = {});

// While set, the dialogs are not shown: the hooks answer for the user.
void InterceptFolderChooser(std::function<std::optional<QString>(const QString& title)> hook);
void InterceptFileChooser(std::function<std::optional<QString>(const QString& title)> hook);
