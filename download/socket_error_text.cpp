#include "download/socket_error_text.h"

namespace {
struct SocketErrorEntry {
    int WindowsNumber;
    const char* Description;
};

constexpr SocketErrorEntry kSocketErrors[] = {
    {WindowsSocketError::ConnectionReset, "Connection reset by peer."},
    {WindowsSocketError::AddressInUse, "Address already in use."},
    {WindowsSocketError::TimedOut, "Connection timed out."},
    {WindowsSocketError::ConnectionRefused, "Connection refused."},
    {WindowsSocketError::HostNotFound, "Host not found."},
    {WindowsSocketError::PermissionDenied, "Permission denied."},
    {WindowsSocketError::AddressNotAvailable, "Cannot assign requested address."},
    {WindowsSocketError::NetworkDown, "Network is down."},
    {WindowsSocketError::NetworkUnreachable, "Network is unreachable."},
    {WindowsSocketError::ConnectionAborted, "Software caused connection abort."},
    {WindowsSocketError::NoBufferSpace, "No buffer space available."},
    {WindowsSocketError::HostUnreachable, "No route to host."},
};
}

QString SocketErrorText(int windowsSocketError)
{
    QString description = QStringLiteral("Unknown socket error.");
    for (const SocketErrorEntry& entry : kSocketErrors) {
        if (entry.WindowsNumber == windowsSocketError) {
            description = QString::fromLatin1(entry.Description);
            break;
        }
    }
    return QStringLiteral("Socket Error # ") + QString::number(windowsSocketError) + QStringLiteral("\r\n")
        + description;
}
