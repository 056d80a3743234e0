#pragma once

#include <QString>

// Transport failures are reported in the Windows-socket form the failure
// classes read: "Socket Error # <number>\r\n<description>".
namespace WindowsSocketError {
constexpr int ConnectionReset = 10054;
constexpr int AddressInUse = 10048;
constexpr int TimedOut = 10060;
constexpr int ConnectionRefused = 10061;
constexpr int HostNotFound = 11001;
}

// The Windows socket number nearest to a POSIX errno; `fallback` when there is none.
int WindowsSocketErrorFor(int posixErrno, int fallback);

// "Socket Error # <number>\r\n<description>".
QString SocketErrorText(int windowsSocketError);
