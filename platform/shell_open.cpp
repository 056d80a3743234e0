#include "platform/shell_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {
using Interception = std::function<void(const QString&, const QStringList&)>;

Interception& Interceptor()
{
    static Interception interceptor;
    return interceptor;
}

bool IsAddress(const QString& target)
{
    return target.contains(QStringLiteral("://")) || target.startsWith(QStringLiteral("mailto:"));
}
}

void ShellOpen(const QString& target, const QStringList& arguments)
{
    if (Interceptor()) {
        Interceptor()(target, arguments);
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
        QProcess::startDetached(file.absoluteFilePath(), arguments, file.absolutePath());
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

void InterceptShellOpen(Interception interceptor)
{
    Interceptor() = std::move(interceptor);
}
