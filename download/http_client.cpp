#include "download/http_client.h"

#include "download/socket_error_text.h"

#include <cstring>
#include <curl/curl.h>
#include <mutex>

namespace {
// libcurl sends a header with an empty value only in the "Name;" form.
QByteArray CurlHeaderLine(const QString& line)
{
    const qsizetype colon = line.indexOf(u':');
    if (colon > 0 && line.mid(colon + 1).trimmed().isEmpty())
        return line.left(colon).toUtf8() + ';';
    return line.toUtf8();
}

// A copy of `base` with `lines` after it; the caller frees it.
curl_slist* ListWithLines(const curl_slist* base, const QStringList& lines)
{
    curl_slist* list = nullptr;
    for (const curl_slist* item = base; item; item = item->next)
        list = curl_slist_append(list, item->data);
    for (const QString& line : lines)
        list = curl_slist_append(list, CurlHeaderLine(line).constData());
    return list;
}

QString TooLargeText(qint64 maxBodyBytes)
{
    return QStringLiteral("The reply body is larger than %1 MiB and was refused.")
        .arg(maxBodyBytes / (1024 * 1024));
}
}

// An option libcurl refuses fails the client (when it is set up) or the
// transfer (when set for one), with libcurl's reason; never silence.
#define SET_OPTION(option, value) Set(option, #option, value)

struct HttpClient::Impl {
    explicit Impl(const HttpClientSettings& settings);
    ~Impl();

    void PrepareHeaders();
    template <typename Value>
    void Set(CURLoption option, const char* name, Value value);
    HttpResult Get(const QString& url, const QStringList& requestLines);
    HttpResult Transfer(const QString& url, const QStringList& requestLines);
    std::optional<QString> TransportFailureText(CURLcode code) const;

    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    HttpClientSettings settings;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;         // plain http, direct or through the proxy
    curl_slist* tunnelHeaders = nullptr;   // https through the proxy: to the tile server
    curl_slist* proxyHeaders = nullptr;    // https through the proxy: to the proxy's CONNECT
    char errorBuffer[CURL_ERROR_SIZE] = {};
    QString setupProblem;   // why the client cannot work; empty when it can
    QString refusedOption;  // the first option refused since it was last cleared
    int connectionsOpened = 0;
    std::function<bool()> shouldAbort;

    // The transfer under way.
    QByteArray body;
    QString statusLine;
    QList<QByteArray> headerLines;
    bool atBlockStart = true;
    bool headBlockEnded = false;
    bool bodyTooLarge = false;
};

HttpClient::Impl::Impl(const HttpClientSettings& clientSettings) : settings(clientSettings)
{
    easy = curl_easy_init();
    if (!easy) {
        setupProblem = QStringLiteral("libcurl could not make a transfer handle");
        return;
    }
    SET_OPTION(CURLOPT_NOSIGNAL, 1L);
    SET_OPTION(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    SET_OPTION(CURLOPT_PROTOCOLS_STR, "http,https");
    SET_OPTION(CURLOPT_FOLLOWLOCATION, 0L);
    // One connection per client: an HTTP/1.0 reply is never kept for reuse.
    SET_OPTION(CURLOPT_MAXCONNECTS, 1L);
    SET_OPTION(CURLOPT_ERRORBUFFER, errorBuffer);
    SET_OPTION(CURLOPT_CONNECTTIMEOUT_MS, long(settings.ConnectTimeoutMs));
    // A stall: less than one byte per second for the whole stall limit.
    SET_OPTION(CURLOPT_LOW_SPEED_LIMIT, 1L);
    SET_OPTION(CURLOPT_LOW_SPEED_TIME, long(qMax(1, (settings.StallTimeoutMs + 999) / 1000)));
    SET_OPTION(CURLOPT_TIMEOUT_MS, long(settings.OverallTimeoutMs));
    SET_OPTION(CURLOPT_MAXFILESIZE_LARGE, curl_off_t(settings.MaxBodyBytes));
    SET_OPTION(CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    SET_OPTION(CURLOPT_WRITEDATA, this);
    SET_OPTION(CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    SET_OPTION(CURLOPT_HEADERDATA, this);
    SET_OPTION(CURLOPT_XFERINFOFUNCTION, &Impl::OnProgress);
    SET_OPTION(CURLOPT_XFERINFODATA, this);
    SET_OPTION(CURLOPT_NOPROGRESS, 0L);

    // An empty proxy also keeps the proxy variables of the environment out.
    const bool useProxy = !settings.ProxyHost.isEmpty();
    SET_OPTION(CURLOPT_PROXY, useProxy ? settings.ProxyHost.toUtf8().constData() : "");
    if (useProxy) {
        SET_OPTION(CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        SET_OPTION(CURLOPT_PROXYPORT, long(settings.ProxyPort));
    }
    PrepareHeaders();
    if (!refusedOption.isEmpty())
        setupProblem = refusedOption;
}

template <typename Value>
void HttpClient::Impl::Set(CURLoption option, const char* name, Value value)
{
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK && refusedOption.isEmpty())
        refusedOption = QStringLiteral("libcurl refused the option %1: %2")
                            .arg(QLatin1StringView(name), QString::fromUtf8(curl_easy_strerror(code)));
}

HttpClient::Impl::~Impl()
{
    curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
    curl_slist_free_all(tunnelHeaders);
    curl_slist_free_all(proxyHeaders);
}

// libcurl puts its own headers first; custom ones with the same name take
// their place. Setting none of its own (no user agent, referer or proxy
// credentials) leaves the order of this list on the wire.
//
// An https address through the proxy is tunnelled: the proxy's lines then
// belong to the CONNECT request and must never reach the tile server.
void HttpClient::Impl::PrepareHeaders()
{
    const bool useProxy = !settings.ProxyHost.isEmpty();
    QStringList before{QStringLiteral("Accept: text/html, */*"), QStringLiteral("Referer: ") + settings.Referer,
        QStringLiteral("User-Agent: ") + settings.UserAgent};
    if (!settings.Connection.isEmpty())
        before << QStringLiteral("Connection: ") + settings.Connection;
    QStringList proxyLines;
    if (useProxy && !settings.ProxyUsername.isEmpty()) {
        const QByteArray credentials = (settings.ProxyUsername + u':' + settings.ProxyPassword).toUtf8();
        proxyLines << QStringLiteral("Proxy-Authorization: Basic ") + QString::fromLatin1(credentials.toBase64());
    }
    auto append = [](curl_slist* list, const QStringList& lines) {
        for (const QString& line : lines)
            list = curl_slist_append(list, CurlHeaderLine(line).constData());
        return list;
    };
    headers = append(headers, before + proxyLines + settings.ExtraHeaderLines);
    // "Name:" without a value removes libcurl's own header of that name.
    if (useProxy)
        headers = curl_slist_append(headers, "Proxy-Connection:");
    tunnelHeaders = append(tunnelHeaders, before + settings.ExtraHeaderLines);
    proxyHeaders = append(proxyHeaders, proxyLines);
    SET_OPTION(CURLOPT_PROXYHEADER, proxyHeaders);
}

size_t HttpClient::Impl::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* impl = static_cast<Impl*>(self);
    const size_t bytes = size * count;
    if (impl->body.size() + qint64(bytes) > impl->settings.MaxBodyBytes) {
        impl->bodyTooLarge = true;
        return 0;
    }
    impl->body.append(data, qsizetype(bytes));
    return bytes;
}

// Keeps the first line of the last header block: 1xx and proxy blocks are
// replaced by the final reply's.
size_t HttpClient::Impl::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* impl = static_cast<Impl*>(self);
    const size_t bytes = size * count;
    QByteArray line(data, qsizetype(bytes));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        impl->atBlockStart = true;
        impl->headBlockEnded = true;
    } else if (impl->atBlockStart) {
        impl->statusLine = QString::fromLatin1(line);
        impl->headerLines.clear();
        impl->atBlockStart = false;
        impl->headBlockEnded = false;
    } else {
        impl->headerLines.append(line);
    }
    return bytes;
}

int HttpClient::Impl::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* impl = static_cast<Impl*>(self);
    return impl->shouldAbort && impl->shouldAbort() ? 1 : 0;
}

HttpResult HttpClient::Impl::Get(const QString& url, const QStringList& requestLines)
{
    HttpResult refused;
    if (!setupProblem.isEmpty()) {
        refused.FailureText = QStringLiteral("The HTTP client cannot be set up: ") + setupProblem;
        return refused;
    }
    refusedOption.clear();
    HttpResult result = Transfer(url, requestLines);
    if (refusedOption.isEmpty())
        return result;
    // The transfer, or the client's state for the next one, is not what was asked.
    SET_OPTION(CURLOPT_FRESH_CONNECT, 1L);
    refused.FailureText = refusedOption;
    return refused;
}

HttpResult HttpClient::Impl::Transfer(const QString& url, const QStringList& requestLines)
{
    body.clear();
    statusLine.clear();
    headerLines.clear();
    atBlockStart = true;
    headBlockEnded = false;
    bodyTooLarge = false;
    errorBuffer[0] = '\0';
    const bool tunnel = !settings.ProxyHost.isEmpty() && url.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive);
    SET_OPTION(CURLOPT_HEADEROPT, long(tunnel ? CURLHEADER_SEPARATE : CURLHEADER_UNIFIED));
    curl_slist* const baseHeaders = tunnel ? tunnelHeaders : headers;
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> requestHeaders(
        requestLines.isEmpty() ? nullptr : ListWithLines(baseHeaders, requestLines), &curl_slist_free_all);
    SET_OPTION(CURLOPT_HTTPHEADER, requestHeaders ? requestHeaders.get() : baseHeaders);

    SET_OPTION(CURLOPT_URL, url.toUtf8().constData());
    if (!refusedOption.isEmpty())
        return {};
    const CURLcode code = curl_easy_perform(easy);
    SET_OPTION(CURLOPT_HTTPHEADER, baseHeaders);

    long connects = 0;
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
    connectionsOpened += int(connects);
    long httpVersion = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_VERSION, &httpVersion);
    const bool reopen = code != CURLE_OK || httpVersion == CURL_HTTP_VERSION_1_0;
    SET_OPTION(CURLOPT_FRESH_CONNECT, reopen ? 1L : 0L);

    HttpResult result;
    if (code != CURLE_OK) {
        result.FailureText = TransportFailureText(code);
        return result;
    }
    // A peer that closes inside the header block leaves libcurl content.
    if (!headBlockEnded) {
        SET_OPTION(CURLOPT_FRESH_CONNECT, 1L);
        result.FailureText = QStringLiteral("Connection Closed Gracefully.");
        return result;
    }
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    result.StatusCode = int(status);
    result.HeaderLines = std::move(headerLines);
    headerLines = QList<QByteArray>();
    if (status < 200 || status > 299) {
        if (!statusLine.isEmpty())
            result.FailureText = statusLine;
        return result;
    }
    result.Ok = true;
    result.Body = std::move(body);
    body = QByteArray();
    return result;
}

// The failure texts the classes are read from. Library messages are taken
// from curl_easy_strerror rather than the error buffer: the buffer names
// addresses and ports, whose digits could read as a status such as 404.
std::optional<QString> HttpClient::Impl::TransportFailureText(CURLcode code) const
{
    long osErrno = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return SocketErrorText(WindowsSocketError::HostNotFound);
    case CURLE_COULDNT_CONNECT:
        return SocketErrorText(WindowsSocketErrorFor(int(osErrno), WindowsSocketError::ConnectionRefused));
    case CURLE_OPERATION_TIMEDOUT:
        return SocketErrorText(WindowsSocketError::TimedOut);
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: {
        // A proxy that refused the tunnel answered with a status of its own.
        long connectCode = 0;
        curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
        if (connectCode >= 300 && !statusLine.isEmpty())
            return statusLine;
        // libcurl keeps the error number of an earlier transfer; it belongs to
        // this one only when the message names it. Without a socket error of
        // its own (headers too large, for one) the failure is no reset and
        // keeps the library's message.
        const bool freshErrno = osErrno != 0 && QString::fromLocal8Bit(errorBuffer).contains(
            QString::fromLocal8Bit(std::strerror(int(osErrno))));
        const int socketError = freshErrno ? WindowsSocketErrorFor(int(osErrno), 0) : 0;
        if (socketError != 0)
            return SocketErrorText(socketError);
        break;
    }
    case CURLE_INTERFACE_FAILED:
        return SocketErrorText(WindowsSocketErrorFor(int(osErrno), WindowsSocketError::AddressInUse));
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("Connection Closed Gracefully.");
    case CURLE_FILESIZE_EXCEEDED:
        return TooLargeText(settings.MaxBodyBytes);
    case CURLE_WRITE_ERROR:
        if (bodyTooLarge)
            return TooLargeText(settings.MaxBodyBytes);
        break;
    default:
        break;
    }
    const QString message = QString::fromUtf8(curl_easy_strerror(code));
    return message.isEmpty() ? std::nullopt : std::optional<QString>(message);
}

HttpClient::HttpClient(const HttpClientSettings& settings) : impl_(std::make_unique<Impl>(settings)) {}

HttpClient::~HttpClient() = default;

HttpResult HttpClient::Get(const QString& url, const QStringList& requestLines)
{
    return impl_->Get(url, requestLines);
}

int HttpClient::ConnectionsOpened() const
{
    return impl_->connectionsOpened;
}

QString HttpClient::SetupProblem() const
{
    return impl_->setupProblem;
}

void HttpClient::SetAbortCheck(std::function<bool()> shouldAbort)
{
    impl_->shouldAbort = std::move(shouldAbort);
}

void InitializeHttp()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
