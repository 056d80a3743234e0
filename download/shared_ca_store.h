#pragma once

#include <curl/curl.h>

// libcurl reads the whole bundle of the system's CA certificates for every
// connection it opens: for eight workers that connect at once, eight times
// the parsing of some 150 certificates and a few megabytes each. With
// libcurl on OpenSSL the certificates from the same places (libcurl's
// built-in bundle and folder) are read once and shared by every connection.
// Sets the handle up for that; false when it keeps libcurl's own reading
// (another TLS library, no built-in places, a place that cannot be read).
bool UseSharedCaStore(CURL* easy);
