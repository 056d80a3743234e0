#pragma once

#include "download/http_client.h"

#include <curl/curl.h>
#include <functional>
#include <optional>

// One libcurl transfer handle prepared with a client's request profile: one
// GET at a time, run to its end by curl_easy_perform (HttpClient) or by a
// multi handle beside others (MultiHttpClient). Begin prepares a GET, End
// turns libcurl's result into the GET's outcome.
class CurlTransfer {
public:
    // `multiplex`: ask for HTTP/2 where TLS offers it and wait for a
    // connection that multiplexes rather than open another.
    CurlTransfer(const HttpClientSettings& settings, bool multiplex);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* Handle() const { return easy_; }
    // Why libcurl could not set the handle up; empty when it is ready.
    const QString& SetupProblem() const { return setupProblem_; }

    // Prepares a GET of `url`. The failed outcome instead when the handle is
    // not ready or an option was refused; the handle must not run then.
    std::optional<HttpResult> Begin(const QString& url, const QStringList& requestLines);
    // The outcome of the GET that libcurl ended with `code`.
    HttpResult End(CURLcode code);
    // The HTTP version the last GET's reply came in (CURL_HTTP_VERSION_*).
    long ReplyVersion() const;

    // Connections this handle opened so far.
    int ConnectionsOpened() const { return connectionsOpened_; }
    // Asked again and again while a transfer runs; true aborts it.
    void SetAbortCheck(std::function<bool()> shouldAbort);

private:
    void PrepareHeaders();
    template <typename Value>
    void Set(CURLoption option, const char* name, Value value);
    HttpResult Outcome(CURLcode code);
    std::optional<QString> TransportFailureText(CURLcode code) const;

    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    HttpClientSettings settings_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;         // plain http, direct or through the proxy
    curl_slist* tunnelHeaders_ = nullptr;   // https through the proxy: to the tile server
    curl_slist* proxyHeaders_ = nullptr;    // https through the proxy: to the proxy's CONNECT
    curl_slist* requestHeaders_ = nullptr;  // the GET under way with request lines of its own
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    QString setupProblem_;   // why the handle cannot work; empty when it can
    QString refusedOption_;  // the first option refused since it was last cleared
    int connectionsOpened_ = 0;
    std::function<bool()> shouldAbort_;

    // The GET under way.
    QByteArray body_;
    QString statusLine_;
    QList<QByteArray> headerLines_;
    bool atBlockStart_ = true;
    bool headBlockEnded_ = false;
    bool bodyTooLarge_ = false;
};
