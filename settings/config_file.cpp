#include "settings/config_file.h"

#include "platform/folders.h"
#include "settings/ini_file.h"
#include "task/tile_pause.h"

namespace {
const QString kIniParas = QStringLiteral("IniParas");
const QString kProxy = QStringLiteral("Proxy");
const QString kServers = QStringLiteral("Servers");

// A key of the Servers section as it is; absent when the file has none.
std::optional<QString> ReadOptionalKey(const TIniFile& ini, const QString& key)
{
    // No trimmed value read from a file is a lone NUL character.
    const QString missing(1, QChar(0));
    const QString text = ini.ReadString(kServers, key, missing);
    return text == missing ? std::nullopt : std::optional<QString>(text);
}

// A pause key: absent when the file has none; a whole number from 0 to
// 60000, or else the default pause, when it has one.
std::optional<int> ReadPauseKey(const TIniFile& ini, const QString& key)
{
    const std::optional<QString> text = ReadOptionalKey(ini, key);
    if (!text)
        return std::nullopt;
    bool whole = false;
    const int value = text->toInt(&whole, 10);
    return whole && value >= 0 && value <= kMaxTilePauseMs ? value : kDefaultTilePauseMs;
}
}

QString ConfigFileName()
{
    return ExecutableFolder() + QStringLiteral("ini") + FolderSeparator() + QStringLiteral("config.ini");
}

QString ReadDefaultPath(const QString& defaultPath)
{
    return TIniFile(ConfigFileName()).ReadString(kIniParas, QStringLiteral("DefaultPath"), defaultPath);
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

TileServers ReadTileServers()
{
    const TIniFile ini(ConfigFileName());
    TileServers servers;
    servers.Mapnik = ini.ReadString(kServers, QStringLiteral("Mapnik"), servers.Mapnik);
    servers.Osmarender = ini.ReadString(kServers, QStringLiteral("Osmarender"), servers.Osmarender);
    servers.Cycle = ini.ReadString(kServers, QStringLiteral("Cycle"), servers.Cycle);
    servers.HomePage = ini.ReadString(kServers, QStringLiteral("HomePage"), servers.HomePage);
    servers.UserAgent = ini.ReadString(kServers, QStringLiteral("UserAgent"), servers.UserAgent);
    servers.MapnikPause = ReadPauseKey(ini, QStringLiteral("MapnikPause"));
    servers.OsmarenderPause = ReadPauseKey(ini, QStringLiteral("OsmarenderPause"));
    servers.CyclePause = ReadPauseKey(ini, QStringLiteral("CyclePause"));
    servers.MapnikAttribution = ReadOptionalKey(ini, QStringLiteral("MapnikAttribution"));
    servers.OsmarenderAttribution = ReadOptionalKey(ini, QStringLiteral("OsmarenderAttribution"));
    servers.CycleAttribution = ReadOptionalKey(ini, QStringLiteral("CycleAttribution"));
    return servers;
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
