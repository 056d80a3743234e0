#include "download/request_profile.h"

#include "platform/app_error.h"
#include "platform/number_text.h"
#include "task/download_task.h"

namespace {
int ProxyPortNumber(const QString& text)
{
    const std::optional<int> port = ParseWholeNumber(text);
    if (!port || *port < 1 || *port > 65535)
        throw AppError(QStringLiteral("Error: the proxy port \"") + text
            + QStringLiteral("\" is not a whole number from 1 to 65535; please check the proxy settings."));
    return *port;
}

}

HttpClientSettings TileRequestSettings(const TaskParameters& parameters)
{
    HttpClientSettings settings;
    if (parameters.UseProxy) {
        settings.ProxyHost = parameters.ProxyServer;
        settings.ProxyPort = ProxyPortNumber(parameters.ProxyPort);
        settings.ProxyUsername = parameters.ProxyUsername;
        settings.ProxyPassword = parameters.ProxyPassword;
    }
    settings.Referer = parameters.Servers.HomePage;
    settings.UserAgent = parameters.Servers.UserAgent;
    settings.Connection = QStringLiteral("Keep_Alive");
    const QString cookieText;
    settings.ExtraHeaderLines = {QStringLiteral("Cookie: ") + cookieText};
    if (const MapSource* source = parameters.Source.get())
        AddSourceRequestLines(*source, settings);
    return settings;
}

void AddSourceRequestLines(const MapSource& source, HttpClientSettings& settings)
{
    settings.Referer = source.Referer;
    if (!source.UserAgent.isEmpty())
        settings.UserAgent = source.UserAgent;
    for (const auto& [name, value] : source.Headers)
        settings.ExtraHeaderLines << name + QStringLiteral(": ") + value;
}
