#pragma once

#include "platform/socket_error_number.h"

#include <QString>

// Transport failures are reported in the Windows-socket form the failure
// classes read: "Socket Error # <number>\r\n<description>".
QString SocketErrorText(int windowsSocketError);
