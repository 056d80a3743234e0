#pragma once

// Transport failures are reported with the numbers of Windows sockets,
// whatever system the program runs on.
namespace WindowsSocketError {
constexpr int ConnectionReset = 10054;
constexpr int AddressInUse = 10048;
constexpr int TimedOut = 10060;
constexpr int ConnectionRefused = 10061;
constexpr int HostNotFound = 11001;
constexpr int PermissionDenied = 10013;
constexpr int AddressNotAvailable = 10049;
constexpr int NetworkDown = 10050;
constexpr int NetworkUnreachable = 10051;
constexpr int ConnectionAborted = 10053;
constexpr int NoBufferSpace = 10055;
constexpr int HostUnreachable = 10065;
}

// The Windows socket number nearest to the system's error number of a
// socket call (as libcurl gives it); `fallback` when there is none.
int WindowsSocketErrorFor(int systemError, int fallback);
