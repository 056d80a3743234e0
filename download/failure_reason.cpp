#include "download/failure_reason.h"

#include "platform/socket_error_number.h"

#include <QRegularExpression>
#include <QUrl>

namespace {
QString HostAndPort(const QString& url)
{
    const QUrl address(url);
    const int defaultPort = address.scheme() == QLatin1String("https") ? 443 : 80;
    return address.host() + u':' + QString::number(address.port(defaultPort));
}

// "Connection refused." -> "connection refused"
QString InWords(QString description)
{
    description = description.trimmed();
    if (description.endsWith(u'.'))
        description.chop(1);
    if (!description.isEmpty())
        description[0] = description[0].toLower();
    return description;
}
}

QString FailureReasonText(const QString& failureText, const QString& url)
{
    if (failureText.trimmed().isEmpty())
        return QStringLiteral("no reason given");
    static const QRegularExpression statusLine(QStringLiteral("^HTTP/\\S+\\s+(\\d{3})"));
    if (const auto match = statusLine.match(failureText); match.hasMatch())
        return QStringLiteral("HTTP ") + match.captured(1);
    static const QRegularExpression socketError(QStringLiteral("^Socket Error # (\\d+)\\s*(.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    if (const auto match = socketError.match(failureText); match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number == WindowsSocketError::ConnectionRefused || number == WindowsSocketError::ConnectionReset)
            return InWords(match.captured(2)).remove(QStringLiteral(" by peer")) + QStringLiteral(" by ")
                + HostAndPort(url);
        return InWords(match.captured(2)) + QStringLiteral(" (") + HostAndPort(url) + u')';
    }
    if (failureText.startsWith(QLatin1String("Connection Closed Gracefully")))
        return QStringLiteral("connection closed by ") + HostAndPort(url);
    return InWords(failureText);
}
