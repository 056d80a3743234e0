#include "platform/file_dialogs.h"

#include <QDir>
#include <QFileDialog>

namespace {
using Hook = std::function<std::optional<QString>(const QString&)>;

Hook& FolderHook()
{
    static Hook hook;
    return hook;
}

Hook& FileHook()
{
    static Hook hook;
    return hook;
}

// "Projects(*.qtsk)|*.qtsk" (description|pattern pairs) to Qt's "Projects(*.qtsk)".
QString QtFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        filters << (description.contains(u'(') ? description : description + QStringLiteral(" (") + parts[i + 1] + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> ChosenFile(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
}

std::optional<QString> ChooseFolder(QWidget* owner, const QString& title)
{
    if (FolderHook())
        return FolderHook()(title);
    const QString folder = QFileDialog::getExistingDirectory(owner, title, QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

std::optional<QString> ChooseFileToOpen(
    QWidget* owner, const QString& title, const QString& filter, const QString& initialFolder)
{
    if (FileHook())
        return FileHook()(title);
    // A typed name of a file that does not exist is accepted too: the caller
    // reports it (or reads defaults from it) the way the user expects.
    QFileDialog dialog(owner, title, initialFolder, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    return ChosenFile(dialog);
}

std::optional<QString> ChooseFileToSave(
    QWidget* owner, const QString& title, const QString& filter, const QString& initialFile)
{
    if (FileHook())
        return FileHook()(title);
    QFileDialog dialog(owner, title, initialFile, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return ChosenFile(dialog);
}

void InterceptFolderChooser(Hook hook)
{
    FolderHook() = std::move(hook);
}

void InterceptFileChooser(Hook hook)
{
    FileHook() = std::move(hook);
}
