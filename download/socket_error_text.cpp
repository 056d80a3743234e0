#include "download/socket_error_text.h"

#include <cerrno>

namespace {
struct SocketErrorEntry {
    int PosixErrno;
    int WindowsNumber;
    const char* Description;
};

constexpr SocketErrorEntry kSocketErrors[] = {
    {ECONNRESET, WindowsSocketError::ConnectionReset, "Connection reset by peer."},
    // A send after the peer closed: the connection broke like a reset.
    {EPIPE, WindowsSocketError::ConnectionReset, "Connection reset by peer."},
    {EADDRINUSE, WindowsSocketError::AddressInUse, "Address already in use."},
    {ETIMEDOUT, WindowsSocketError::TimedOut, "Connection timed out."},
    {ECONNREFUSED, WindowsSocketError::ConnectionRefused, "Connection refused."},
    {0, WindowsSocketError::HostNotFound, "Host not found."},
    {EACCES, 10013, "Permission denied."},
    {EADDRNOTAVAIL, 10049, "Cannot assign requested address."},
    {ENETDOWN, 10050, "Network is down."},
    {ENETUNREACH, 10051, "Network is unreachable."},
    {ECONNABORTED, 10053, "Software caused connection abort."},
    {ENOBUFS, 10055, "No buffer space available."},
    {EHOSTUNREACH, 10065, "No route to host."},
};
}

int WindowsSocketErrorFor(int posixErrno, int fallback)
{
    if (posixErrno == 0)
        return fallback;
    for (const SocketErrorEntry& entry : kSocketErrors) {
        if (entry.PosixErrno == posixErrno)
            return entry.WindowsNumber;
    }
    return fallback;
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
