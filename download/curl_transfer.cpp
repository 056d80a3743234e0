#include "download/curl_transfer.h"

#include "download/shared_ca_store.h"
#include "download/socket_error_text.h"

#include <cstring>

namespace {
// libcurl sends a header with an empty value only in the "Name;" form.
QByteArray CurlHeaderLine(const QString& line)
{
    const qsizetype colon = line.indexOf(u':');
    if (colon > 0 && line.mid(colon + 1).trimmed().isEmpty())
        return line.left(colon).toUtf8() + ';';
    return line.toUtf8();
}

curl_slist* AppendLines(curl_slist* list, const QStringList& lines)
{
    for (const QString& line : lines)
        list = curl_slist_append(list, CurlHeaderLine(line).constData());
    return list;
}

// A copy of `base` with `lines` after it; the caller frees it.
curl_slist* ListWithLines(const curl_slist* base, const QStringList& lines)
{
    curl_slist* list = nullptr;
    for (const curl_slist* item = base; item; item = item->next)
        list = curl_slist_append(list, item->data);
    return AppendLines(list, lines);
}

QString TooLargeText(qint64 maxBodyBytes)
{
    return QStringLiteral("The reply body is larger than %1 MiB and was refused.")
        .arg(maxBodyBytes / (1024 * 1024));
}

HttpResult FailedWith(const QString& text)
{
    HttpResult result;
    result.FailureText = text;
    return result;
}
}

// An option libcurl refuses fails the handle (when it is set up) or the
// transfer (when set for one), with libcurl's reason; never silence.
#define SET_OPTION(option, value) Set(option, #option, value)

CurlTransfer::CurlTransfer(const HttpClientSettings& settings, bool multiplex) : settings_(settings)
{
    easy_ = curl_easy_init();
    if (!easy_) {
        setupProblem_ = QStringLiteral("libcurl could not make a transfer handle");
        return;
    }
    SET_OPTION(CURLOPT_NOSIGNAL, 1L);
    SET_OPTION(CURLOPT_HTTP_VERSION, long(multiplex ? CURL_HTTP_VERSION_2TLS : CURL_HTTP_VERSION_1_1));
    if (multiplex)
        SET_OPTION(CURLOPT_PIPEWAIT, 1L);
    SET_OPTION(CURLOPT_PROTOCOLS_STR, "http,https");
    SET_OPTION(CURLOPT_FOLLOWLOCATION, 0L);
    // One connection per client: an HTTP/1.0 reply is never kept for reuse.
    SET_OPTION(CURLOPT_MAXCONNECTS, 1L);
    SET_OPTION(CURLOPT_ERRORBUFFER, errorBuffer_);
    SET_OPTION(CURLOPT_CONNECTTIMEOUT_MS, long(settings_.ConnectTimeoutMs));
    // A stall: less than one byte per second for the whole stall limit.
    SET_OPTION(CURLOPT_LOW_SPEED_LIMIT, 1L);
    SET_OPTION(CURLOPT_LOW_SPEED_TIME, long(qMax(1, (settings_.StallTimeoutMs + 999) / 1000)));
    SET_OPTION(CURLOPT_TIMEOUT_MS, long(settings_.OverallTimeoutMs));
    SET_OPTION(CURLOPT_MAXFILESIZE_LARGE, curl_off_t(settings_.MaxBodyBytes));
    SET_OPTION(CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
    SET_OPTION(CURLOPT_WRITEDATA, this);
    SET_OPTION(CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
    SET_OPTION(CURLOPT_HEADERDATA, this);
    UseSharedCaStore(easy_);

    // An empty proxy also keeps the proxy variables of the environment out.
    const bool useProxy = !settings_.ProxyHost.isEmpty();
    SET_OPTION(CURLOPT_PROXY, useProxy ? settings_.ProxyHost.toUtf8().constData() : "");
    if (useProxy) {
        SET_OPTION(CURLOPT_PROXYTYPE, long(CURLPROXY_HTTP));
        SET_OPTION(CURLOPT_PROXYPORT, long(settings_.ProxyPort));
    }
    PrepareHeaders();
    if (!refusedOption_.isEmpty())
        setupProblem_ = refusedOption_;
}

template <typename Value>
void CurlTransfer::Set(CURLoption option, const char* name, Value value)
{
    const CURLcode code = curl_easy_setopt(easy_, option, value);
    if (code != CURLE_OK && refusedOption_.isEmpty())
        refusedOption_ = QStringLiteral("libcurl refused the option %1: %2")
                             .arg(QLatin1StringView(name), QString::fromUtf8(curl_easy_strerror(code)));
}

CurlTransfer::~CurlTransfer()
{
    curl_easy_cleanup(easy_);
    curl_slist_free_all(headers_);
    curl_slist_free_all(tunnelHeaders_);
    curl_slist_free_all(proxyHeaders_);
    curl_slist_free_all(requestHeaders_);
}

// libcurl puts its own headers first; custom ones with the same name take
// their place. Setting none of its own (no user agent, referer or proxy
// credentials) leaves the order of this list on the wire.
//
// An https address through the proxy is tunnelled: the proxy's lines then
// belong to the CONNECT request and must never reach the tile server.
void CurlTransfer::PrepareHeaders()
{
    const bool useProxy = !settings_.ProxyHost.isEmpty();
    QStringList before{QStringLiteral("Accept: text/html, */*"), QStringLiteral("Referer: ") + settings_.Referer,
        QStringLiteral("User-Agent: ") + settings_.UserAgent};
    if (!settings_.Connection.isEmpty())
        before << QStringLiteral("Connection: ") + settings_.Connection;
    QStringList proxyLines;
    if (useProxy && !settings_.ProxyUsername.isEmpty()) {
        const QByteArray credentials = (settings_.ProxyUsername + u':' + settings_.ProxyPassword).toUtf8();
        proxyLines << QStringLiteral("Proxy-Authorization: Basic ") + QString::fromLatin1(credentials.toBase64());
    }
    headers_ = AppendLines(headers_, before + proxyLines + settings_.ExtraHeaderLines);
    // "Name:" without a value removes libcurl's own header of that name.
    if (useProxy)
        headers_ = curl_slist_append(headers_, "Proxy-Connection:");
    tunnelHeaders_ = AppendLines(tunnelHeaders_, before + settings_.ExtraHeaderLines);
    proxyHeaders_ = AppendLines(proxyHeaders_, proxyLines);
    SET_OPTION(CURLOPT_PROXYHEADER, proxyHeaders_);
}

size_t CurlTransfer::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t bytes = size * count;
    if (transfer->body_.size() + qint64(bytes) > transfer->settings_.MaxBodyBytes) {
        transfer->bodyTooLarge_ = true;
        return 0;
    }
    transfer->body_.append(data, qsizetype(bytes));
    return bytes;
}

// Keeps the first line of the last header block: 1xx and proxy blocks are
// replaced by the final reply's.
size_t CurlTransfer::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    const size_t bytes = size * count;
    QByteArray line(data, qsizetype(bytes));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        transfer->atBlockStart_ = true;
        transfer->headBlockEnded_ = true;
    } else if (transfer->atBlockStart_) {
        transfer->statusLine_ = QString::fromLatin1(line);
        transfer->headerLines_.clear();
        transfer->atBlockStart_ = false;
        transfer->headBlockEnded_ = false;
    } else {
        transfer->headerLines_.append(line);
    }
    return bytes;
}

int CurlTransfer::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* transfer = static_cast<CurlTransfer*>(self);
    return transfer->shouldAbort_ && transfer->shouldAbort_() ? 1 : 0;
}

void CurlTransfer::SetAbortCheck(std::function<bool()> shouldAbort)
{
    shouldAbort_ = std::move(shouldAbort);
    SET_OPTION(CURLOPT_XFERINFOFUNCTION, &CurlTransfer::OnProgress);
    SET_OPTION(CURLOPT_XFERINFODATA, this);
    SET_OPTION(CURLOPT_NOPROGRESS, shouldAbort_ ? 0L : 1L);
}

std::optional<HttpResult> CurlTransfer::Begin(const QString& url, const QStringList& requestLines)
{
    if (!setupProblem_.isEmpty())
        return FailedWith(QStringLiteral("The HTTP client cannot be set up: ") + setupProblem_);
    refusedOption_.clear();
    body_.clear();
    statusLine_.clear();
    headerLines_.clear();
    atBlockStart_ = true;
    headBlockEnded_ = false;
    bodyTooLarge_ = false;
    errorBuffer_[0] = '\0';
    const bool tunnel = !settings_.ProxyHost.isEmpty() && url.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive);
    SET_OPTION(CURLOPT_HEADEROPT, long(tunnel ? CURLHEADER_SEPARATE : CURLHEADER_UNIFIED));
    curl_slist* const baseHeaders = tunnel ? tunnelHeaders_ : headers_;
    if (!requestLines.isEmpty())
        requestHeaders_ = ListWithLines(baseHeaders, requestLines);
    SET_OPTION(CURLOPT_HTTPHEADER, requestHeaders_ ? requestHeaders_ : baseHeaders);
    SET_OPTION(CURLOPT_URL, url.toUtf8().constData());
    if (refusedOption_.isEmpty())
        return std::nullopt;
    // The transfer, or the handle's state for the next one, is not what was asked.
    SET_OPTION(CURLOPT_FRESH_CONNECT, 1L);
    return FailedWith(refusedOption_);
}

HttpResult CurlTransfer::End(CURLcode code)
{
    HttpResult result = Outcome(code);
    if (requestHeaders_) {
        SET_OPTION(CURLOPT_HTTPHEADER, headers_);
        curl_slist_free_all(requestHeaders_);
        requestHeaders_ = nullptr;
    }
    if (refusedOption_.isEmpty())
        return result;
    SET_OPTION(CURLOPT_FRESH_CONNECT, 1L);
    return FailedWith(refusedOption_);
}

long CurlTransfer::ReplyVersion() const
{
    long httpVersion = 0;
    curl_easy_getinfo(easy_, CURLINFO_HTTP_VERSION, &httpVersion);
    return httpVersion;
}

HttpResult CurlTransfer::Outcome(CURLcode code)
{
    long connects = 0;
    curl_easy_getinfo(easy_, CURLINFO_NUM_CONNECTS, &connects);
    connectionsOpened_ += int(connects);
    const bool reopen = code != CURLE_OK || ReplyVersion() == CURL_HTTP_VERSION_1_0;
    SET_OPTION(CURLOPT_FRESH_CONNECT, reopen ? 1L : 0L);

    HttpResult result;
    if (code != CURLE_OK) {
        result.FailureText = TransportFailureText(code);
        return result;
    }
    // A peer that closes inside the header block leaves libcurl content.
    if (!headBlockEnded_) {
        SET_OPTION(CURLOPT_FRESH_CONNECT, 1L);
        result.FailureText = QStringLiteral("Connection Closed Gracefully.");
        return result;
    }
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    result.StatusCode = int(status);
    result.HeaderLines = std::move(headerLines_);
    headerLines_ = QList<QByteArray>();
    if (status < 200 || status > 299) {
        if (!statusLine_.isEmpty())
            result.FailureText = statusLine_;
        return result;
    }
    result.Ok = true;
    result.Body = std::move(body_);
    body_ = QByteArray();
    return result;
}

// The failure texts the classes are read from. Library messages are taken
// from curl_easy_strerror rather than the error buffer: the buffer names
// addresses and ports, whose digits could read as a status such as 404.
std::optional<QString> CurlTransfer::TransportFailureText(CURLcode code) const
{
    long osErrno = 0;
    curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &osErrno);
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
        curl_easy_getinfo(easy_, CURLINFO_HTTP_CONNECTCODE, &connectCode);
        if (connectCode >= 300 && !statusLine_.isEmpty())
            return statusLine_;
        // libcurl keeps the error number of an earlier transfer; it belongs to
        // this one only when the message names it. Without a socket error of
        // its own (headers too large, for one) the failure is no reset and
        // keeps the library's message.
        const bool freshErrno = osErrno != 0 && QString::fromLocal8Bit(errorBuffer_).contains(
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
        return TooLargeText(settings_.MaxBodyBytes);
    case CURLE_WRITE_ERROR:
        if (bodyTooLarge_)
            return TooLargeText(settings_.MaxBodyBytes);
        break;
    default:
        break;
    }
    const QString message = QString::fromUtf8(curl_easy_strerror(code));
    return message.isEmpty() ? std::nullopt : std::optional<QString>(message);
}
