#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {
std::function<void(const QString&)>& Interceptor()
{
    static std::function<void(const QString&)> interceptor;
    return interceptor;
}

bool IsAddress(const QString& target)
{
    return target.contains(QStringLiteral("://")) || target.startsWith(QStringLiteral("mailto:"));
}
}

void ShellOpen(const QString& target)
{
    if (Interceptor()) {
        Interceptor()(target);
        return;
    }
    if (IsAddress(target)) {
        QDesktopServices::openUrl(QUrl(target));
        return;
    }
    const QFileInfo file(target);
    if (!file.exists())
        return;
    if (file.isExecutable() && file.isFile() && file.suffix().compare(QStringLiteral("html"), Qt::CaseInsensitive) != 0)
        QProcess::startDetached(file.absoluteFilePath(), {}, file.absolutePath());
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

void InterceptShellOpen(std::function<void(const QString&)> interceptor)
{
    Interceptor() = std::move(interceptor);
}
