#include "download/multi_http_client.h"

#include "download/curl_transfer.h"

#include <curl/curl.h>

namespace {
// One handle of the client, with the tag of the GET it runs.
struct Slot {
    Slot(const HttpClientSettings& settings, bool multiplex) : Transfer(settings, multiplex) {}
    CurlTransfer Transfer;
    qint64 Tag = 0;
    bool Running = false;
};

HttpResult FailedWith(const QString& text)
{
    HttpResult result;
    result.FailureText = text;
    return result;
}
}

struct MultiHttpClient::Impl {
    Impl(const HttpClientSettings& settings, int maxInFlight);
    ~Impl();

    Slot* IdleSlot();
    void CollectFinished(std::vector<FinishedGet>& finished);
    void Release(Slot* slot, CURLcode code, std::vector<FinishedGet>* finished);

    HttpClientSettings settings;
    const int maxInFlight;
    CURLM* multi = nullptr;
    QString setupProblem;
    int limit = 1;
    int inFlight = 0;
    std::vector<std::unique_ptr<Slot>> pool;
    std::vector<Slot*> idle;  // the last used first, so one at a time keeps one handle
    std::vector<FinishedGet> finishedAtStart;  // GETs that could not start
};

MultiHttpClient::Impl::Impl(const HttpClientSettings& clientSettings, int maxInFlight)
    : settings(clientSettings), maxInFlight(qMax(1, maxInFlight))
{
    multi = curl_multi_init();
    if (!multi) {
        setupProblem = QStringLiteral("libcurl could not make a multi handle");
        return;
    }
    curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
    // One connection, as HttpClient keeps: an HTTP/1.0 reply is never kept for reuse.
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 1L);
    // The first handle tells whether the profile can be set up at all.
    if (Slot* first = IdleSlot()) {
        setupProblem = first->Transfer.SetupProblem();
        idle.push_back(first);
    }
}

MultiHttpClient::Impl::~Impl()
{
    for (const auto& slot : pool)
        if (slot->Running)
            curl_multi_remove_handle(multi, slot->Transfer.Handle());
    pool.clear();
    curl_multi_cleanup(multi);
}

Slot* MultiHttpClient::Impl::IdleSlot()
{
    if (!idle.empty()) {
        Slot* slot = idle.back();
        idle.pop_back();
        return slot;
    }
    pool.push_back(std::make_unique<Slot>(settings, maxInFlight > 1));
    Slot* slot = pool.back().get();
    if (slot->Transfer.Handle())
        curl_easy_setopt(slot->Transfer.Handle(), CURLOPT_PRIVATE, slot);
    return slot;
}

void MultiHttpClient::Impl::Release(Slot* slot, CURLcode code, std::vector<FinishedGet>* finished)
{
    curl_multi_remove_handle(multi, slot->Transfer.Handle());
    slot->Running = false;
    --inFlight;
    HttpResult result = slot->Transfer.End(code);
    if (result.StatusCode != 0)
        limit = slot->Transfer.ReplyVersion() == CURL_HTTP_VERSION_2_0 ? maxInFlight : 1;
    idle.push_back(slot);
    if (finished)
        finished->push_back({slot->Tag, std::move(result)});
}

void MultiHttpClient::Impl::CollectFinished(std::vector<FinishedGet>& finished)
{
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        Slot* slot = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &slot);
        Release(slot, message->data.result, &finished);
    }
}

MultiHttpClient::MultiHttpClient(const HttpClientSettings& settings, int maxInFlight)
    : impl_(std::make_unique<Impl>(settings, maxInFlight))
{
}

MultiHttpClient::~MultiHttpClient() = default;

QString MultiHttpClient::SetupProblem() const
{
    return impl_->setupProblem;
}

int MultiHttpClient::Limit() const
{
    return impl_->limit;
}

int MultiHttpClient::InFlight() const
{
    return impl_->inFlight + int(impl_->finishedAtStart.size());
}

void MultiHttpClient::Start(qint64 tag, const QString& url, const QStringList& requestLines)
{
    Impl& impl = *impl_;
    if (!impl.setupProblem.isEmpty()) {
        impl.finishedAtStart.push_back(
            {tag, FailedWith(QStringLiteral("The HTTP client cannot be set up: ") + impl.setupProblem)});
        return;
    }
    Slot* slot = impl.IdleSlot();
    slot->Tag = tag;
    if (std::optional<HttpResult> refused = slot->Transfer.Begin(url, requestLines)) {
        impl.idle.push_back(slot);
        impl.finishedAtStart.push_back({tag, std::move(*refused)});
        return;
    }
    const CURLMcode added = curl_multi_add_handle(impl.multi, slot->Transfer.Handle());
    if (added != CURLM_OK) {
        slot->Transfer.End(CURLE_FAILED_INIT);
        impl.idle.push_back(slot);
        impl.finishedAtStart.push_back({tag, FailedWith(QString::fromUtf8(curl_multi_strerror(added)))});
        return;
    }
    slot->Running = true;
    ++impl.inFlight;
}

std::vector<FinishedGet> MultiHttpClient::Wait(int timeoutMs)
{
    Impl& impl = *impl_;
    std::vector<FinishedGet> finished = std::exchange(impl.finishedAtStart, {});
    if (!finished.empty())
        return finished;
    int running = 0;
    curl_multi_perform(impl.multi, &running);
    impl.CollectFinished(finished);
    if (!finished.empty())
        return finished;
    curl_multi_poll(impl.multi, nullptr, 0, timeoutMs, nullptr);
    curl_multi_perform(impl.multi, &running);
    impl.CollectFinished(finished);
    return finished;
}

void MultiHttpClient::Wake()
{
    curl_multi_wakeup(impl_->multi);
}

void MultiHttpClient::AbortAll()
{
    for (const auto& slot : impl_->pool)
        if (slot->Running)
            impl_->Release(slot.get(), CURLE_ABORTED_BY_CALLBACK, nullptr);
}

int MultiHttpClient::ConnectionsOpened() const
{
    int opened = 0;
    for (const auto& slot : impl_->pool)
        opened += slot->Transfer.ConnectionsOpened();
    return opened;
}
