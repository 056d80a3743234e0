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

bool ShellOpen(const QString& target, const QStringList& arguments)
{
    if (Interceptor()) {
        Interceptor()(target, arguments);
        return true;
    }
    if (IsAddress(target))
        return QDesktopServices::openUrl(QUrl(target));
    const QFileInfo file(target);
    if (!file.exists())
        return false;
    if (file.isExecutable() && file.isFile() && file.suffix().compare(QStringLiteral("html"), Qt::CaseInsensitive) != 0)
        return QProcess::startDetached(file.absoluteFilePath(), arguments, file.absolutePath());
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

void InterceptShellOpen(Interception interceptor)
{
    Interceptor() = std::move(interceptor);
}
