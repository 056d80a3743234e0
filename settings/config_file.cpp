#include "settings/config_file.h"

#include "platform/folders.h"
#include "settings/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

namespace {
const QString kIniParas = QStringLiteral("IniParas");
const QString kProxy = QStringLiteral("Proxy");

QString ShippedConfigFileName()
{
    return ShippedFilesFolder() + QStringLiteral("ini") + FolderSeparator() + QStringLiteral("config.ini");
}

// The user's copy of the shipped file, readable by the user alone since it
// may come to hold the proxy password. The copy is renamed into place whole,
// so programs starting at the same time never read half a file; when one of
// them was first, its file stays. A copy that cannot be made leaves no file:
// readers then get their defaults and the Options dialog reports the write.
void MakeUserConfigFile(const QString& fileName)
{
    QFile shipped(ShippedConfigFileName());
    if (!QDir().mkpath(UserConfigFolder()) || !shipped.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = shipped.readAll();
    QTemporaryFile copy(UserConfigFolder() + QStringLiteral("config.ini.XXXXXX"));
    // Renamed, the copy is the user's file: it must outlive the temporary file object.
    if (copy.open() && copy.write(bytes) == bytes.size() && copy.flush() && copy.rename(fileName))
        copy.setAutoRemove(false);
}
}

QString ConfigFileName()
{
    if (!IsInstalledLayout())
        return ShippedConfigFileName();
    const QString fileName = UserConfigFolder() + QStringLiteral("config.ini");
    if (!QFile::exists(fileName))
        MakeUserConfigFile(fileName);
    return fileName;
}

QString ReadDefaultPath(const QString& defaultPath)
{
    const QString fallback =
        IsInstalledLayout() ? QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/Tessaly")) : defaultPath;
    return TIniFile(ConfigFileName()).ReadString(kIniParas, QStringLiteral("DefaultPath"), fallback);
}

QString ReadVersion()
{
    return TIniFile(ConfigFileName()).ReadString(kIniParas, QStringLiteral("Version"), QStringLiteral("5.52"));
}

ProxySettings ReadProxySettings()
{
    const TIniFile ini(ConfigFileName());
    ProxySettings proxy;
    proxy.UseProxy = ini.ReadInteger(kProxy, QStringLiteral("UseProxy"), 0) == 1;
    proxy.ProxyServer = ini.ReadString(kProxy, QStringLiteral("ProxyServer"), QString());
    proxy.ProxyPort = ini.ReadString(kProxy, QStringLiteral("ProxyPort"), QString());
    proxy.ProxyUsername = ini.ReadString(kProxy, QStringLiteral("ProxyUsername"), QString());
    proxy.ProxyPassword = ini.ReadString(kProxy, QStringLiteral("ProxyPassword"), QString());
    return proxy;
}

void WriteOptionsSettings(const OptionsSettings& settings)
{
    TIniFile ini(ConfigFileName());
    const ProxySettings& proxy = settings.Proxy;
    // All or nothing: a full disk must not leave half of the options stored.
    ini.WriteAtOnce([&] {
        ini.WriteString(kIniParas, QStringLiteral("DefaultPath"), settings.DefaultPath);
        ini.WriteInteger(kProxy, QStringLiteral("UseProxy"), proxy.UseProxy ? 1 : 0);
        ini.WriteString(kProxy, QStringLiteral("ProxyServer"), proxy.ProxyServer);
        ini.WriteString(kProxy, QStringLiteral("ProxyPort"), proxy.ProxyPort);
        ini.WriteString(kProxy, QStringLiteral("ProxyUsername"), proxy.ProxyUsername);
        ini.WriteString(kProxy, QStringLiteral("ProxyPassword"), proxy.ProxyPassword);
    });
}
