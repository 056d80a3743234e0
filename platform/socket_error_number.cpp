#include "platform/socket_error_number.h"

#include <cerrno>

namespace {
struct SocketErrorNumber {
    int SystemError;
    int WindowsNumber;
};

constexpr SocketErrorNumber kSocketErrorNumbers[] = {
    {ECONNRESET, WindowsSocketError::ConnectionReset},
    // A send after the peer closed: the connection broke like a reset.
    {EPIPE, WindowsSocketError::ConnectionReset},
    {EADDRINUSE, WindowsSocketError::AddressInUse},
    {ETIMEDOUT, WindowsSocketError::TimedOut},
    {ECONNREFUSED, WindowsSocketError::ConnectionRefused},
    {EACCES, WindowsSocketError::PermissionDenied},
    {EADDRNOTAVAIL, WindowsSocketError::AddressNotAvailable},
    {ENETDOWN, WindowsSocketError::NetworkDown},
    {ENETUNREACH, WindowsSocketError::NetworkUnreachable},
    {ECONNABORTED, WindowsSocketError::ConnectionAborted},
    {ENOBUFS, WindowsSocketError::NoBufferSpace},
    {EHOSTUNREACH, WindowsSocketError::HostUnreachable},
};
}

int WindowsSocketErrorFor(int systemError, int fallback)
{
    if (systemError == 0)
        return fallback;
    for (const SocketErrorNumber& entry : kSocketErrorNumbers) {
        if (entry.SystemError == systemError)
            return entry.WindowsNumber;
    }
    return fallback;
}
