#include "HttpClient.h"

#include <QPointer>

#include <sys/resource.h>

#include <algorithm>
#include <limits>

HttpClient::HttpClient(QObject *parent)
    : QObject(parent)
    , thread_(TransferThread::shared())
    , results_(std::make_shared<TransferResults>())
    , trust_(TrustStore::system()) {
    results_->receiver = this;
    results_->deliver = [this] { deliver(); };
}

HttpClient::~HttpClient() {
    {
        const std::lock_guard<std::mutex> lock(results_->mutex);
        results_->receiver = nullptr;
    }
    thread_->cancel(results_, lastNumber_);
}

void HttpClient::get(const QByteArray &url, Completion done) {
    get(url, HttpRequestOptions{}, std::move(done));
}

void HttpClient::get(const QByteArray &url, const HttpRequestOptions &options, Completion done) {
    enqueue(url, options, false, std::move(done));
}

void HttpClient::readCertificate(const QByteArray &url, CertificateCompletion done) {
    enqueue(url, HttpRequestOptions{}, true, [done = std::move(done)](const HttpResult &result) {
        CertificateReading reading;
        if (!result.certificatePem.isEmpty())
            reading.certificate = ServerCertificate::fromPem(result.certificatePem);
        if (!reading.certificate) {
            if (result.failure == HttpFailure::NotWebAddress)
                reading.error = QStringLiteral("only an https address has a certificate");
            else if (result.failure != HttpFailure::None)
                reading.error = failureReason(result);
            else
                reading.error = QStringLiteral("the server sent no certificate that can be read");
        }
        done(reading);
    });
}

void HttpClient::enqueue(const QByteArray &url, const HttpRequestOptions &options,
                         bool certificateOnly, Completion done) {
    const quint64 number = ++lastNumber_;
    pending_.emplace(number, std::move(done));
    if (outgoing_.empty())
        QMetaObject::invokeMethod(this, &HttpClient::send, Qt::QueuedConnection);
    const std::chrono::milliseconds deadline =
        options.deadline > std::chrono::milliseconds::zero() ? options.deadline : deadline_;
    outgoing_.push_back({number, url, options, deadline, trust_, results_, certificateOnly});
}

void HttpClient::send() {
    std::vector<TransferThread::Request> requests;
    requests.swap(outgoing_);
    // Requests given up on before they left stay here.
    std::erase_if(requests, [this](const auto &r) { return !pending_.contains(r.number); });
    if (!requests.empty())
        thread_->start(std::move(requests));
}

void HttpClient::deliver() {
    std::vector<std::pair<quint64, HttpResult>> finished;
    {
        const std::lock_guard<std::mutex> lock(results_->mutex);
        finished.swap(results_->finished);
    }
    // Completions may start new requests, abort the rest or destroy the client's owner (and the
    // client with it), so each is looked up as it comes and nothing of `this` is used after.
    const QPointer<HttpClient> alive(this);
    for (auto &[number, result] : finished) {
        if (!alive)
            return;
        const auto it = pending_.find(number);
        if (it == pending_.end())
            continue; // aborted
        Completion done = std::move(it->second);
        pending_.erase(it);
        done(result);
    }
}

int HttpClient::transferLimit() {
    rlimit limit = {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<int>::max();
    // A transfer may hold several descriptors at once (its socket, a second address family tried
    // alongside, the resolver's wake-up pair), and the rest of the program needs some of its own.
    const auto spare = static_cast<long long>(limit.rlim_cur) - reservedDescriptors;
    return int(
        std::clamp<long long>(spare / descriptorsPerTransfer, 1, std::numeric_limits<int>::max()));
}

QByteArray HttpClient::userAgent() {
    return QByteArrayLiteral("Tarvik/" TARVIK_VERSION);
}

void HttpClient::abortAll() {
    pending_.clear();
    outgoing_.clear();
    thread_->cancel(results_, lastNumber_);
}
