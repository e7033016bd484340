#include "http/TransferThread.h"

#include "certificates/CertificateDate.h"
#include "checks/BodySearch.h"
#include "http/HttpClient.h"

#include <curl/curl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

struct TransferThread::Transfer {
    CURL *easy = nullptr;
    quint64 number = 0;
    bool https = false;
    TrustStore trust;
    std::shared_ptr<TransferResults> results;
    char errorText[CURL_ERROR_SIZE] = {};
    QByteArray body;
    bool keepBody = false;
    qsizetype maxBodyBytes = 0;
    bool bodyTooLarge = false;
    std::optional<BodySearch> contains;
    std::optional<BodySearch> lacks;
    // Every search had its answer, so the rest of the body was not read.
    bool stoppedReading = false;
    bool certificateOnly = false;
    // Why the request cannot be sent as asked; it then fails without a connection.
    QString refused;
    curl_slist *headers = nullptr;

    ~Transfer() {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
};

namespace {
// Transfers start at a steady pace, a batch a millisecond (see HttpClient::batchSize).
constexpr int batchSize = HttpClient::batchSize;
constexpr std::chrono::milliseconds batchInterval{1};
// The longest a finished transfer waits to be handed to its client.
constexpr std::chrono::milliseconds postDelay{4};

// The marks libcurl took for this transfer; a mark it cannot give stays 0.
HttpPhases phasesOf(CURL *easy) {
    HttpPhases::Marks m;
    const auto mark = [easy](CURLINFO info, std::int64_t &into) {
        curl_off_t micros = 0;
        if (curl_easy_getinfo(easy, info, &micros) == CURLE_OK)
            into = micros;
    };
    mark(CURLINFO_NAMELOOKUP_TIME_T, m.nameLookup);
    mark(CURLINFO_CONNECT_TIME_T, m.connect);
    mark(CURLINFO_APPCONNECT_TIME_T, m.appConnect);
    mark(CURLINFO_PRETRANSFER_TIME_T, m.preTransfer);
    mark(CURLINFO_STARTTRANSFER_TIME_T, m.startTransfer);
    mark(CURLINFO_TOTAL_TIME_T, m.total);
    return HttpPhases::fromMarks(m);
}

// The "Expire date" of the first certificate the server sent, which is its own.
std::optional<QDateTime> leafExpiry(CURL *easy) {
    curl_certinfo *chain = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CERTINFO, &chain) != CURLE_OK || !chain ||
        chain->num_of_certs < 1)
        return std::nullopt;
    static constexpr char key[] = "Expire date:";
    for (curl_slist *field = chain->certinfo[0]; field; field = field->next)
        if (std::strncmp(field->data, key, sizeof key - 1) == 0)
            return CertificateDate::parse(QString::fromLatin1(field->data + sizeof key - 1));
    return std::nullopt;
}

size_t discardBody(char *, size_t size, size_t count, void *) {
    return size * count;
}

// RFC 9110 token characters.
bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

// Whether a header can be sent as given: a line break in a value would end the header and start
// another one, which is the server's to read as whatever follows.
bool isSendable(const QByteArray &name, const QByteArray &value) {
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), isTokenChar))
        return false;
    return std::none_of(value.begin(), value.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7f;
    });
}

// The extra headers as libcurl takes them, after the client's own Accept unless one of them
// replaces it. An empty value is written "Name;": "Name:" would make libcurl drop the header.
curl_slist *headerList(const std::vector<std::pair<QByteArray, QByteArray>> &headers) {
    const bool ownAccept = std::none_of(headers.begin(), headers.end(), [](const auto &header) {
        return header.first.compare("accept", Qt::CaseInsensitive) == 0;
    });
    curl_slist *list = ownAccept ? curl_slist_append(nullptr, "Accept: */*") : nullptr;
    for (const auto &[name, value] : headers) {
        const QByteArray line = value.isEmpty() ? name + ';' : name + ": " + value;
        curl_slist *longer = curl_slist_append(list, line.constData());
        if (!longer) {
            curl_slist_free_all(list);
            return nullptr;
        }
        list = longer;
    }
    return list;
}

// The PEM of the first certificate the server sent, which is its own.
QByteArray leafPem(CURL *easy) {
    curl_certinfo *chain = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CERTINFO, &chain) != CURLE_OK || !chain ||
        chain->num_of_certs < 1)
        return QByteArray();
    static constexpr char key[] = "Cert:";
    for (curl_slist *field = chain->certinfo[0]; field; field = field->next)
        if (std::strncmp(field->data, key, sizeof key - 1) == 0)
            return QByteArray(field->data + sizeof key - 1);
    return QByteArray();
}

HttpFailure classify(CURLcode code, long osErrno) {
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return HttpFailure::TimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
        return HttpFailure::NameNotResolved;
    case CURLE_COULDNT_CONNECT:
        switch (osErrno) {
        case ECONNREFUSED:
            return HttpFailure::ConnectionRefused;
        case ENETUNREACH:
        case ENETDOWN:
            return HttpFailure::NetworkUnreachable;
        case EHOSTUNREACH:
        case EHOSTDOWN:
            return HttpFailure::HostUnreachable;
        default:
            return HttpFailure::ConnectionFailed;
        }
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return HttpFailure::CertificateNotTrusted;
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return HttpFailure::CertificateKeyChanged;
    case CURLE_TOO_MANY_REDIRECTS:
        return HttpFailure::TooManyRedirects;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return HttpFailure::NotWebAddress;
    default:
        return HttpFailure::Other;
    }
}
} // namespace

std::shared_ptr<TransferThread> TransferThread::shared() {
    static std::mutex mutex;
    static std::weak_ptr<TransferThread> current;
    const std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<TransferThread> thread = current.lock();
    if (!thread) {
        thread.reset(new TransferThread);
        current = thread;
    }
    return thread;
}

TransferThread::TransferThread() {
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epoll_ >= 0 && wakeFd_ >= 0) {
        epoll_event event = {};
        event.events = EPOLLIN;
        event.data.fd = wakeFd_;
        epoll_ctl(epoll_, EPOLL_CTL_ADD, wakeFd_, &event);
    }
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &TransferThread::socketCallback);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &TransferThread::timerCallback);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    if (epoll_ >= 0 && wakeFd_ >= 0 && multi_)
        thread_ = std::thread([this] { run(); });
}

TransferThread::~TransferThread() {
    stopping_ = true;
    wake();
    if (thread_.joinable())
        thread_.join();
    warmUp_.stop();
    for (auto &[easy, transfer] : running_)
        curl_multi_remove_handle(multi_, easy);
    running_.clear();
    waiting_.clear();
    curl_multi_cleanup(multi_);
    if (wakeFd_ >= 0)
        close(wakeFd_);
    if (epoll_ >= 0)
        close(epoll_);
}

void TransferThread::start(std::vector<Request> requests) {
    if (!thread_.joinable()) {
        // No descriptors were left for the loop itself: every request fails at once and says so,
        // rather than waiting for ever.
        for (Request &request : requests) {
            HttpResult result;
            result.error = QStringLiteral("cannot watch sockets: no file descriptors left");
            result.failure = HttpFailure::Other;
            TransferResults &results = *request.results;
            const std::lock_guard<std::mutex> lock(results.mutex);
            if (!results.receiver)
                continue;
            if (results.finished.empty())
                QMetaObject::invokeMethod(results.receiver, results.deliver, Qt::QueuedConnection);
            results.finished.emplace_back(request.number, std::move(result));
        }
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(inboxMutex_);
        for (Request &request : requests)
            inbox_.push_back(std::move(request));
    }
    wake();
}

void TransferThread::cancel(const std::shared_ptr<TransferResults> &results, quint64 last) {
    {
        const std::lock_guard<std::mutex> lock(inboxMutex_);
        cancelled_.emplace_back(results, last);
    }
    wake();
}

void TransferThread::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(wakeFd_, &one, sizeof one);
}

int TransferThread::timeoutMs() const {
    std::optional<std::chrono::steady_clock::time_point> due = curlDue_;
    for (const auto &other : {postDue_, nextStarts_})
        if (other && (!due || *other < *due))
            due = other;
    if (!due)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now());
    return int(std::clamp<long long>(left.count(), 0, 60000));
}

void TransferThread::run() {
    epoll_event events[64];
    while (!stopping_) {
        const int count = epoll_wait(epoll_, events, 64, timeoutMs());
        if (count < 0 && errno != EINTR)
            break;
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (warmUp_.handle(fd)) {
                if (!warmUp_.active())
                    wake(); // what waited for the store can start
                continue;
            }
            if (fd == wakeFd_) {
                std::uint64_t counter = 0;
                [[maybe_unused]] const ssize_t got = read(wakeFd_, &counter, sizeof counter);
                continue;
            }
            int action = 0;
            if (events[i].events & EPOLLIN)
                action |= CURL_CSELECT_IN;
            if (events[i].events & EPOLLOUT)
                action |= CURL_CSELECT_OUT;
            if (events[i].events & (EPOLLERR | EPOLLHUP))
                action |= CURL_CSELECT_ERR;
            int running = 0;
            curl_multi_socket_action(multi_, fd, action, &running);
        }
        if (curlDue_ && *curlDue_ <= std::chrono::steady_clock::now()) {
            curlDue_.reset();
            int running = 0;
            curl_multi_socket_action(multi_, CURL_SOCKET_TIMEOUT, 0, &running);
        }
        takeInbox();
        startWaiting();
        collectFinished();
        if (postDue_ && *postDue_ <= std::chrono::steady_clock::now())
            postResults();
    }
}

void TransferThread::takeInbox() {
    std::vector<Request> requests;
    std::vector<std::pair<std::shared_ptr<TransferResults>, quint64>> cancelled;
    {
        const std::lock_guard<std::mutex> lock(inboxMutex_);
        requests.swap(inbox_);
        cancelled.swap(cancelled_);
    }
    for (Request &request : requests)
        waiting_.push_back(prepare(std::move(request)));
    for (const auto &[results, last] : cancelled)
        drop(results.get(), last);
}

void TransferThread::drop(const TransferResults *results, quint64 last) {
    const auto dropped = [results, last](const Transfer &t) {
        return t.results.get() == results && t.number <= last;
    };
    std::erase_if(waiting_, [&](const auto &t) { return dropped(*t); });
    for (auto it = running_.begin(); it != running_.end();) {
        if (dropped(*it->second)) {
            curl_multi_remove_handle(multi_, it->first);
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
}

std::unique_ptr<TransferThread::Transfer> TransferThread::prepare(Request request) const {
    auto transfer = std::make_unique<Transfer>();
    transfer->number = request.number;
    transfer->results = std::move(request.results);
    transfer->https = request.url.size() > 8 && request.url.first(8).toLower() == "https://";
    CURL *easy = curl_easy_init();
    transfer->easy = easy;
    const HttpRequestOptions &options = request.options;
    const bool certificateOnly = request.certificateOnly;
    transfer->certificateOnly = certificateOnly;
    const char *protocols = options.httpsOnly || certificateOnly ? "https" : "http,https";
    curl_easy_setopt(easy, CURLOPT_URL, request.url.constData());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    if (options.method == HttpRequestOptions::Method::Head)
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, options.followRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    // Nothing carried over from the last round: the duration is always the full cost, and no idle
    // sockets are held between rounds.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(request.deadline.count()));
    // The chain's details are gathered during the handshake only, so plain http pays nothing.
    curl_easy_setopt(easy, CURLOPT_CERTINFO, 1L);
    // Both are always set: left alone, libcurl's default folder would sit beside the bundle and
    // make every handshake parse the bundle again.
    transfer->trust = options.caFile.isEmpty() ? request.trust : TrustStore::bundle(options.caFile);
    const TrustStore &trust = transfer->trust;
    curl_easy_setopt(easy, CURLOPT_CAINFO,
                     trust.caFile.isEmpty() ? nullptr : trust.caFile.constData());
    curl_easy_setopt(easy, CURLOPT_CAPATH,
                     trust.caPath.isEmpty() ? nullptr : trust.caPath.constData());
    StoreWarmUp::keepStore(easy);
    if (!options.pinnedPublicKey.isEmpty()) {
        if (options.pinnedPublicKey.startsWith(HttpRequestOptions::pinPrefix))
            curl_easy_setopt(easy, CURLOPT_PINNEDPUBLICKEY, options.pinnedPublicKey.constData());
        else
            transfer->refused = QStringLiteral("the pinned key is not a sha256// digest");
        // The pin is the whole trust: libcurl still compares it when these are off.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (certificateOnly) {
        // Whatever the server presents is what is asked for, so nothing of it is checked, and
        // nothing is sent once the handshake is done.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(easy, CURLOPT_CONNECT_ONLY, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_USERAGENT, HttpClient::userAgent().constData());
    for (const auto &[name, value] : options.headers)
        if (!isSendable(name, value))
            transfer->refused = QStringLiteral("a request header cannot be sent as it is");
    transfer->headers = headerList(options.headers);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
    // Every encoding this libcurl can read is offered; a body that is thrown away is not worth
    // decoding, one that is kept or searched is decoded before it is counted against its limit.
    const bool searches = options.method == HttpRequestOptions::Method::Get &&
                          (options.bodyContains || options.bodyLacks);
    const bool readsBody = options.keepBody || searches;
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, readsBody ? 1L : 0L);
    if (readsBody) {
        // Counted as it arrives rather than trusted from Content-Length, which may be missing or
        // wrong.
        transfer->keepBody = options.keepBody;
        transfer->maxBodyBytes = std::max<qsizetype>(options.maxBodyBytes, 0);
        if (searches && options.bodyContains)
            transfer->contains.emplace(*options.bodyContains);
        if (searches && options.bodyLacks)
            transfer->lacks.emplace(*options.bodyLacks);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TransferThread::readBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    } else {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discardBody);
    }
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorText);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    return transfer;
}

void TransferThread::startWaiting() {
    // A transfer waits here, not inside curl, so its clock and its deadline start only when it
    // really starts: queued hosts are neither charged for the wait nor timed out by it.
    const std::size_t cap = std::size_t(HttpClient::transferLimit());
    const auto now = std::chrono::steady_clock::now();
    if (nextStarts_ && now < *nextStarts_)
        return;
    nextStarts_.reset();
    int added = 0;
    for (auto it = waiting_.begin();
         it != waiting_.end() && added < batchSize && running_.size() < cap;) {
        if (waitsForStore(**it)) {
            ++it;
            continue;
        }
        std::unique_ptr<Transfer> transfer = std::move(*it);
        it = waiting_.erase(it);
        ++added;
        if (!transfer->refused.isEmpty()) {
            HttpResult result;
            result.error = transfer->refused;
            result.failure = HttpFailure::Other;
            report(*transfer, std::move(result));
            continue;
        }
        CURL *easy = transfer->easy;
        const CURLMcode code = curl_multi_add_handle(multi_, easy);
        if (code != CURLM_OK) {
            HttpResult result;
            result.error = QString::fromUtf8(curl_multi_strerror(code));
            result.failure = HttpFailure::Other;
            report(*transfer, std::move(result));
            continue;
        }
        running_.emplace(easy, std::move(transfer));
    }
    // More to start: the next batch in a millisecond, and what is ready is served meanwhile.
    if (added == batchSize && running_.size() < cap)
        nextStarts_ = now + batchInterval;
}

bool TransferThread::waitsForStore(const Transfer &transfer) {
    if (!transfer.https || !transfer.trust.isCached())
        return false;
    if (warmUp_.active())
        return warmUp_.trust() == transfer.trust;
    // Read less than a cache period ago: still kept. libcurl's period starts during the warm-up,
    // so it is surely over once the warm-up's own limit has passed too.
    const auto now = std::chrono::steady_clock::now();
    if (storeRead_ == transfer.trust &&
        now - storeReadAt_ < std::chrono::seconds(StoreWarmUp::keptSeconds) +
                                 std::chrono::milliseconds(StoreWarmUp::limitMs))
        return false;
    // Read now; where the warm-up cannot start, the first handshake reads it as it always did.
    storeRead_ = transfer.trust;
    storeReadAt_ = now;
    return warmUp_.start(multi_, epoll_, transfer.trust);
}

size_t TransferThread::readBody(char *data, size_t size, size_t count, void *transfer) {
    auto *t = static_cast<Transfer *>(transfer);
    const size_t bytes = size * count;
    // Anything but `bytes` returned makes curl end the transfer.
    if (t->keepBody) {
        if (bytes > size_t(t->maxBodyBytes - t->body.size())) {
            t->bodyTooLarge = true;
            return 0;
        }
        t->body.append(data, qsizetype(bytes));
    }
    if (t->contains || t->lacks) {
        const QByteArrayView chunk(data, qsizetype(bytes));
        if (t->contains)
            t->contains->feed(chunk);
        if (t->lacks)
            t->lacks->feed(chunk);
        if (!t->keepBody && (!t->contains || t->contains->done()) &&
            (!t->lacks || t->lacks->done())) {
            t->stoppedReading = true;
            return 0;
        }
    }
    return bytes;
}

int TransferThread::socketCallback(CURL *, int fd, int what, void *thread, void *known) {
    static_cast<TransferThread *>(thread)->watchSocket(fd, what, known != nullptr);
    return 0;
}

int TransferThread::timerCallback(CURLM *, long timeoutMs, void *thread) {
    // Never drive curl from inside its own callback: the loop acts when the time comes.
    auto *self = static_cast<TransferThread *>(thread);
    if (timeoutMs < 0)
        self->curlDue_.reset();
    else
        self->curlDue_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    return 0;
}

void TransferThread::watchSocket(int fd, int what, bool known) {
    if (what == CURL_POLL_REMOVE) {
        // A socket curl already closed has left the set by itself.
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        curl_multi_assign(multi_, fd, nullptr);
        return;
    }
    epoll_event event = {};
    event.data.fd = fd;
    if (what == CURL_POLL_IN || what == CURL_POLL_INOUT)
        event.events |= EPOLLIN;
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT)
        event.events |= EPOLLOUT;
    // curl closes a socket and may reuse its number at once, so what it marks as known is what
    // counts, and a number still in the set from a closed socket is simply taken over.
    if (known) {
        if (epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event) != 0 && errno == ENOENT)
            epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    } else {
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0 && errno == EEXIST)
            epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event);
        static char mark;
        curl_multi_assign(multi_, fd, &mark);
    }
}

// The one place every transfer ends: it is freed, classified and handed to its client here.
void TransferThread::collectFinished() {
    int pending = 0;
    std::vector<std::unique_ptr<Transfer>> done;
    std::vector<HttpResult> outcomes;
    while (CURLMsg *message = curl_multi_info_read(multi_, &pending)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode curlCode = message->data.result;
        if (warmUp_.finished(easy)) {
            wake();
            continue;
        }
        auto it = running_.find(easy);
        if (it == running_.end())
            continue;
        std::unique_ptr<Transfer> transfer = std::move(it->second);
        running_.erase(it);

        HttpResult result;
        // Reading stopped on purpose once the searches had their answers: the answer is whole.
        const CURLcode code =
            curlCode == CURLE_WRITE_ERROR && transfer->stoppedReading ? CURLE_OK : curlCode;
        curl_off_t micros = 0;
        if (curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &micros) == CURLE_OK)
            result.seconds = double(micros) / 1e6;
        long status = 0;
        if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status > 0)
            result.status = int(status);
        if (result.status) {
            result.phases = phasesOf(easy);
            result.certificateExpiry = leafExpiry(easy);
        }
        if (transfer->contains) {
            result.bodyContainsFound = transfer->contains->found();
            result.bodyCut = transfer->contains->cut();
        }
        if (transfer->lacks) {
            result.bodyLacksFound = transfer->lacks->found();
            result.bodyCut = result.bodyCut || transfer->lacks->cut();
        }
        long osErrno = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
        if (transfer->certificateOnly) {
            result.certificatePem = leafPem(easy);
            if (code != CURLE_OK) {
                result.error = QString::fromUtf8(transfer->errorText[0] ? transfer->errorText
                                                                        : curl_easy_strerror(code));
                result.failure = classify(code, osErrno);
            } else {
                result.ok = true;
            }
        } else if (transfer->bodyTooLarge) {
            result.error =
                QStringLiteral("the response is larger than %1 bytes").arg(transfer->maxBodyBytes);
            result.failure = HttpFailure::ResponseTooLarge;
        } else if (code == CURLE_OUT_OF_MEMORY && result.status) {
            // libcurl says "out of memory" when an answer's header line outgrows its limit.
            result.error = QStringLiteral("a response header is too large");
            result.failure = HttpFailure::HeaderTooLarge;
        } else if (code != CURLE_OK) {
            result.error = QString::fromUtf8(transfer->errorText[0] ? transfer->errorText
                                                                    : curl_easy_strerror(code));
            result.failure = classify(code, osErrno);
        } else if (status < 200 || status > 299) {
            result.error = QStringLiteral("HTTP status %1").arg(status);
            result.failure = HttpFailure::HttpStatus;
        } else {
            result.ok = true;
        }
        if (result.ok)
            result.body = std::move(transfer->body);
        curl_multi_remove_handle(multi_, easy);
        outcomes.push_back(std::move(result));
        done.push_back(std::move(transfer));
    }
    // Room was made for waiting transfers.
    if (!done.empty() && !waiting_.empty())
        wake();
    for (std::size_t i = 0; i < done.size(); ++i)
        report(*done[i], std::move(outcomes[i]));
}

void TransferThread::report(const Transfer &transfer, HttpResult result) {
    unposted_.emplace_back(transfer.results, transfer.number, std::move(result));
    if (!postDue_)
        postDue_ = std::chrono::steady_clock::now() + postDelay;
}

void TransferThread::postResults() {
    postDue_.reset();
    // One post per client however many finished: the client takes them all in one go.
    for (auto &[results, number, result] : unposted_) {
        const std::lock_guard<std::mutex> lock(results->mutex);
        if (!results->receiver)
            continue;
        if (results->finished.empty())
            QMetaObject::invokeMethod(results->receiver, results->deliver, Qt::QueuedConnection);
        results->finished.emplace_back(number, std::move(result));
    }
    unposted_.clear();
}
