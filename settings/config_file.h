#pragma once

#include <QString>

// The configuration file. (Its Servers section is read by ReadTileServers,
// task/configured_servers.h, beside the task types it fills.) Every reader opens it, reads the keys it needs with
// its own default and closes it again, so a change made in the Options dialog
// reaches each reader at its next read.

// A portable copy (and the build folder): ini/config.ini beside the
// executable. An installed program: config.ini in the user's configuration
// folder (see UserConfigFolder), made from the shipped file when missing.
QString ConfigFileName();

// IniParas/DefaultPath. The main window and the Options dialog of a portable
// copy propose different folders when the key is missing, so the caller gives
// the default; an installed program proposes ~/Tessaly to both.
QString ReadDefaultPath(const QString& defaultPath);

// IniParas/Version, "5.52" when missing: shown in the main window's caption.
QString ReadVersion();

// The Proxy section. UseProxy is on only when the stored integer is exactly 1.
struct ProxySettings {
    bool UseProxy = false;
    QString ProxyServer;
    QString ProxyPort;  // as typed; a number only for the workers
    QString ProxyUsername;
    QString ProxyPassword;
};
ProxySettings ReadProxySettings();

// What the Options dialog confirms with OK.
struct OptionsSettings {
    QString DefaultPath;
    ProxySettings Proxy;
};

// Writes DefaultPath, UseProxy (1 or 0), ProxyServer, ProxyPort,
// ProxyUsername, ProxyPassword in this order, exactly as given. A refused
// write raises AppError "Unable to write to <file>"; the writes before it stay.
void WriteOptionsSettings(const OptionsSettings& settings);
