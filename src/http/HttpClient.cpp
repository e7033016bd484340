#include "HttpClient.h"

#include "http/CertificateDate.h"

#include <QSocketNotifier>

#include <curl/curl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

struct HttpClient::Transfer {
    CURL *easy = nullptr;
    Completion done;
    char errorText[CURL_ERROR_SIZE] = {};
    QByteArray body;
    qsizetype maxBodyBytes = 0;
    bool bodyTooLarge = false;
    curl_slist *headers = nullptr;

    ~Transfer() {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
};

// Per-socket state handed to curl with curl_multi_assign: curl closes a socket and reuses its
// number at once, so nothing may be looked up by descriptor.
struct HttpClient::Socket {
    QSocketNotifier *read = nullptr;
    QSocketNotifier *write = nullptr;
};

namespace {
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

// Removal can happen inside the notifier's own activation, so it is disabled now and deleted
// once the loop is back in control.
void retire(QSocketNotifier *&notifier) {
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
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
    case CURLE_TOO_MANY_REDIRECTS:
        return HttpFailure::TooManyRedirects;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return HttpFailure::NotWebAddress;
    default:
        return HttpFailure::Other;
    }
}
} // namespace

HttpClient::HttpClient(QObject *parent)
    : QObject(parent) {
    static std::once_flag globalInit;
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &HttpClient::socketCallback);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &HttpClient::timerCallback);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);

    curlTimer_.setSingleShot(true);
    curlTimer_.setTimerType(Qt::PreciseTimer);
    connect(&curlTimer_, &QTimer::timeout, this, [this] { socketAction(CURL_SOCKET_TIMEOUT, 0); });

    feedTimer_.setSingleShot(true);
    feedTimer_.setInterval(0);
    connect(&feedTimer_, &QTimer::timeout, this, &HttpClient::startQueued);
}

HttpClient::~HttpClient() {
    for (auto &[easy, transfer] : running_)
        curl_multi_remove_handle(multi_, easy);
    running_.clear();
    queued_.clear();
    curl_multi_cleanup(multi_);
}

void HttpClient::get(const QByteArray &url, Completion done) {
    get(url, HttpRequestOptions{}, std::move(done));
}

void HttpClient::get(const QByteArray &url, const HttpRequestOptions &options, Completion done) {
    auto transfer = std::make_unique<Transfer>();
    transfer->done = std::move(done);
    CURL *easy = curl_easy_init();
    transfer->easy = easy;
    const char *protocols = options.httpsOnly ? "https" : "http,https";
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    // Nothing carried over from the last round: the duration is always the full cost, and no idle
    // sockets are held between rounds.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(deadline_.count()));
    // The chain's details are gathered during the handshake only, so plain http pays nothing.
    curl_easy_setopt(easy, CURLOPT_CERTINFO, 1L);
    if (!options.caFile.isEmpty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, options.caFile.constData());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent().constData());
    transfer->headers = curl_slist_append(nullptr, "Accept: */*");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers);
    // Every encoding this libcurl can read is offered; a body that is thrown away is not worth
    // decoding, one that is kept is decoded before it is counted against its limit.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, options.keepBody ? 1L : 0L);
    if (options.keepBody) {
        // Counted as it arrives rather than trusted from Content-Length, which may be missing or
        // wrong.
        transfer->maxBodyBytes = std::max<qsizetype>(options.maxBodyBytes, 0);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpClient::keepBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    } else {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discardBody);
    }
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorText);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    queued_.push_back(std::move(transfer));
    if (!feedTimer_.isActive())
        feedTimer_.start();
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
    feedTimer_.stop();
    for (auto &[easy, transfer] : running_)
        curl_multi_remove_handle(multi_, easy);
    running_.clear();
    queued_.clear();
}

void HttpClient::startQueued() {
    // A transfer waits here, not inside curl, so its clock and its deadline start only when it
    // really starts: queued hosts are neither charged for the wait nor timed out by it.
    const std::size_t cap = std::size_t(transferLimit());
    for (int added = 0; added < batchSize && !queued_.empty() && running_.size() < cap; ++added) {
        std::unique_ptr<Transfer> transfer = std::move(queued_.front());
        queued_.pop_front();
        CURL *easy = transfer->easy;
        const CURLMcode code = curl_multi_add_handle(multi_, easy);
        if (code != CURLM_OK) {
            HttpResult result;
            result.error = QString::fromUtf8(curl_multi_strerror(code));
            result.failure = HttpFailure::Other;
            auto done = std::move(transfer->done);
            transfer.reset();
            done(result);
            continue;
        }
        running_.emplace(easy, std::move(transfer));
    }
    if (!queued_.empty() && running_.size() < cap)
        feedTimer_.start();
}

size_t HttpClient::keepBody(char *data, size_t size, size_t count, void *transfer) {
    auto *t = static_cast<Transfer *>(transfer);
    const size_t bytes = size * count;
    if (bytes > size_t(t->maxBodyBytes - t->body.size())) {
        t->bodyTooLarge = true;
        return 0; // anything but `bytes` makes curl abort the transfer
    }
    t->body.append(data, qsizetype(bytes));
    return bytes;
}

int HttpClient::socketCallback(CURL *, int fd, int what, void *client, void *socketData) {
    static_cast<HttpClient *>(client)->watchSocket(fd, what, static_cast<Socket *>(socketData));
    return 0;
}

int HttpClient::timerCallback(CURLM *, long timeoutMs, void *client) {
    // Never drive curl from inside its own callback: the timer fires from the loop instead.
    auto *self = static_cast<HttpClient *>(client);
    if (timeoutMs < 0)
        self->curlTimer_.stop();
    else
        self->curlTimer_.start(static_cast<int>(timeoutMs));
    return 0;
}

void HttpClient::watchSocket(int fd, int what, Socket *socket) {
    if (what == CURL_POLL_REMOVE) {
        if (socket) {
            retire(socket->read);
            retire(socket->write);
            delete socket;
            curl_multi_assign(multi_, fd, nullptr);
        }
        return;
    }
    if (!socket) {
        socket = new Socket;
        curl_multi_assign(multi_, fd, socket);
    }
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !socket->read) {
        socket->read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(socket->read, &QSocketNotifier::activated, this,
                [this, fd] { socketAction(fd, CURL_CSELECT_IN); });
    } else if (!wantRead) {
        retire(socket->read);
    }
    if (wantWrite && !socket->write) {
        socket->write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(socket->write, &QSocketNotifier::activated, this,
                [this, fd] { socketAction(fd, CURL_CSELECT_OUT); });
    } else if (!wantWrite) {
        retire(socket->write);
    }
}

void HttpClient::socketAction(int fd, int events) {
    int running = 0;
    curl_multi_socket_action(multi_, fd, events, &running);
    collectFinished();
}

// The one place every transfer ends: it is freed, classified and reported here.
void HttpClient::collectFinished() {
    std::vector<std::pair<Completion, HttpResult>> finished;
    int pending = 0;
    while (CURLMsg *message = curl_multi_info_read(multi_, &pending)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        const CURLcode code = message->data.result;
        auto it = running_.find(easy);
        if (it == running_.end())
            continue;
        std::unique_ptr<Transfer> transfer = std::move(it->second);
        running_.erase(it);

        HttpResult result;
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
        long osErrno = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
        if (transfer->bodyTooLarge) {
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
        finished.emplace_back(std::move(transfer->done), std::move(result));
    }
    // Room was made for queued transfers.
    if (!finished.empty() && !queued_.empty() && !feedTimer_.isActive())
        feedTimer_.start();
    // Completions may start new requests or drop the client's owner; curl is idle by now.
    for (auto &[done, result] : finished)
        done(result);
}
