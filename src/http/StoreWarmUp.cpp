#include "http/StoreWarmUp.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
size_t discard(char *, size_t size, size_t count, void *) {
    return size * count;
}

void watch(int epoll, int fd) {
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
}

void closeWatched(int epoll, int &fd) {
    if (fd < 0)
        return;
    epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
    fd = -1;
}
} // namespace

StoreWarmUp::~StoreWarmUp() {
    stop();
}

void StoreWarmUp::keepStore(CURL *easy) {
#if LIBCURL_VERSION_NUM >= 0x075700 // 7.87.0 keeps a store between handshakes
    curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, keptSeconds);
#else
    (void)easy;
#endif
}

bool StoreWarmUp::start(CURLM *multi, int epoll, const TrustStore &trust) {
    stop();
    multi_ = multi;
    epoll_ = epoll;
    trust_ = trust;
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        stop();
        return false;
    }
    watch(epoll_, listener_);

    easy_ = curl_easy_init();
    const QByteArray url = "https://127.0.0.1:" + QByteArray::number(ntohs(address.sin_port)) + '/';
    curl_easy_setopt(easy_, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROXY, ""); // straight to the listener, whatever the proxy
    curl_easy_setopt(easy_, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, limitMs);
    // The same store as the checks', given the same way, or the cache would not serve them.
    curl_easy_setopt(easy_, CURLOPT_CAINFO,
                     trust.caFile.isEmpty() ? nullptr : trust.caFile.constData());
    curl_easy_setopt(easy_, CURLOPT_CAPATH,
                     trust.caPath.isEmpty() ? nullptr : trust.caPath.constData());
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &discard);
    keepStore(easy_);
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
        stop();
        return false;
    }
    return true;
}

bool StoreWarmUp::handle(int fd) {
    if (fd < 0 || (fd != listener_ && fd != peer_))
        return false;
    if (fd == listener_) {
        const int peer = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (peer >= 0 && peer_ < 0) {
            peer_ = peer;
            watch(epoll_, peer_);
        } else if (peer >= 0) {
            close(peer);
        }
        return true;
    }
    // The first handshake message: libcurl read the store just after sending it.
    stop();
    return true;
}

bool StoreWarmUp::finished(CURL *easy) {
    if (!easy || easy != easy_)
        return false;
    stop();
    return true;
}

void StoreWarmUp::stop() {
    if (easy_) {
        curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
    }
    closeWatched(epoll_, peer_);
    closeWatched(epoll_, listener_);
}
