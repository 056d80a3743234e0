#include "download/http_client.h"

#include "download/curl_transfer.h"

#include <mutex>

struct HttpClient::Impl {
    explicit Impl(const HttpClientSettings& settings) : transfer(settings, false) {}
    CurlTransfer transfer;
};

HttpClient::HttpClient(const HttpClientSettings& settings) : impl_(std::make_unique<Impl>(settings)) {}

HttpClient::~HttpClient() = default;

HttpResult HttpClient::Get(const QString& url, const QStringList& requestLines)
{
    CurlTransfer& transfer = impl_->transfer;
    if (std::optional<HttpResult> refused = transfer.Begin(url, requestLines))
        return std::move(*refused);
    return transfer.End(curl_easy_perform(transfer.Handle()));
}

int HttpClient::ConnectionsOpened() const
{
    return impl_->transfer.ConnectionsOpened();
}

QString HttpClient::SetupProblem() const
{
    return impl_->transfer.SetupProblem();
}

void HttpClient::SetAbortCheck(std::function<bool()> shouldAbort)
{
    impl_->transfer.SetAbortCheck(std::move(shouldAbort));
}

void InitializeHttp()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
