#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// How one client object talks to servers: the request profile of a worker or
// of the re-download window.
struct HttpClientSettings {
    QString ProxyHost;      // empty: connect directly (proxy variables of the environment are ignored)
    int ProxyPort = 0;
    QString ProxyUsername;  // with ProxyHost: a "Proxy-Authorization: Basic" line
    QString ProxyPassword;
    QString Referer;
    QString UserAgent;
    QString Connection;     // "Keep_Alive"
    QStringList ExtraHeaderLines;  // raw lines after the standard ones, e.g. "Cookie: "
    int ConnectTimeoutMs = 60000;
    int StallTimeoutMs = 60000;    // no byte received for this long: a time-out
    // A whole request, however steadily bytes arrive; far above any real tile,
    // so only a reply that trickles in forever meets it. A time-out as well.
    int OverallTimeoutMs = 5 * 60 * 1000;
    qint64 MaxBodyBytes = 16 * 1024 * 1024;
};

// The outcome of one GET. Success only on a 2xx status. A failure carries
// the text the failure classes are read from: the status line as received
// ("HTTP/1.1 404 Not Found"), "Socket Error # <n>\r\n<description>" with the
// Windows socket number, "Connection Closed Gracefully." or the error's own
// message, or "libcurl refused the option <name>: <reason>" when the
// transfer could not be set up. A failure without any text has no FailureText.
struct HttpResult {
    bool Ok = false;
    QByteArray Body;
    std::optional<QString> FailureText;
    int StatusCode = 0;            // 0 when no reply head arrived
    QList<QByteArray> HeaderLines; // of the final reply head, without the status line
};

// One persistent connection serving one blocking GET at a time on the
// calling thread (libcurl, one easy handle per object). It reopens when the
// server closed the connection, answered HTTP/1.0 or sent "Connection: close".
// Redirects are never followed.
class HttpClient {
public:
    explicit HttpClient(const HttpClientSettings& settings);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // `requestLines` go out after the client's own lines, for this request only
    // (e.g. "If-None-Match: ..." when revalidating a cached copy).
    HttpResult Get(const QString& url, const QStringList& requestLines = {});

    // Why libcurl could not set the client up (no handle, an option refused);
    // empty when it is ready. A client that is not ready fails every Get with
    // "The HTTP client cannot be set up: <reason>".
    QString SetupProblem() const;

    // Connections opened so far (1 for a whole run against a keep-alive server).
    int ConnectionsOpened() const;

    // Asked again and again while a transfer runs, also while no byte
    // arrives; returning true aborts it as a failure.
    void SetAbortCheck(std::function<bool()> shouldAbort);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// curl_global_init, once, before any worker thread starts.
void InitializeHttp();
