#pragma once

#include "download/http_client.h"

#include <memory>
#include <vector>

// A GET that MultiHttpClient finished: the tag it was started with and its outcome.
struct FinishedGet {
    qint64 Tag = 0;
    HttpResult Result;
};

// Several GETs in flight on one connection, all driven by the calling thread
// through libcurl's multi interface. Over TLS it asks for HTTP/2 and, once a
// reply has shown that the connection multiplexes, keeps up to `maxInFlight`
// GETs in flight as streams of that one connection. On a server that answers
// HTTP/1.x it stays at one GET at a time, which then behaves as HttpClient
// does (same profile, same failure texts, same reopening rules).
class MultiHttpClient {
public:
    MultiHttpClient(const HttpClientSettings& settings, int maxInFlight);
    ~MultiHttpClient();
    MultiHttpClient(const MultiHttpClient&) = delete;
    MultiHttpClient& operator=(const MultiHttpClient&) = delete;

    // Why libcurl could not set the client up; empty when it is ready.
    QString SetupProblem() const;

    // How many GETs may be under way now: 1 until a reply came over a
    // connection that multiplexes, then `maxInFlight`; 1 again when a reply
    // comes over one that does not.
    int Limit() const;
    // GETs started and not yet given back by Wait, those that could not
    // start among them.
    int InFlight() const;

    // Starts a GET of `url`; its outcome comes back from Wait with `tag`. One
    // that cannot start comes back at once, as a failure in words.
    void Start(qint64 tag, const QString& url, const QStringList& requestLines = {});
    // Drives the GETs under way until at least one has finished, Wake was
    // called or `timeoutMs` has passed; the finished ones, in the order
    // libcurl ended them.
    std::vector<FinishedGet> Wait(int timeoutMs);
    // Any thread: ends the Wait under way (or the next one) early.
    void Wake();
    // Ends every GET under way at once; their outcomes are dropped.
    void AbortAll();

    // Connections opened so far.
    int ConnectionsOpened() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
