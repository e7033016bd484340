#pragma once

#include "certificates/TrustStore.h"

typedef void CURL;
typedef void CURLM;

// Has libcurl read a trust store into its multi handle's cache before any check needs it, so the
// first round's handshakes are not charged for it (some 26 ms each, all of them at once). libcurl
// reads the store right after sending its first handshake message; so one https transfer goes to
// a loopback listener of its own, and once that message arrives the store is in the cache and the
// transfer is dropped. Where that never happens (another libcurl may read the store later), the
// warm-up simply ends after a short while and the first real handshake reads it as before.
//
// Runs on the transfer thread, inside its epoll loop.
class StoreWarmUp {
public:
    // How long libcurl keeps a store it read (its default, set on every transfer so the two
    // agree); after that the next handshake would read it again, so it is warmed again.
    static constexpr long keptSeconds = 24 * 3600;
    // Long enough for a loaded machine to read the store; short enough that a libcurl which
    // reads it elsewhere holds nothing up for long.
    static constexpr long limitMs = 2000;
    // Sets the cache period on a transfer that trusts a store the warm-up may have read.
    static void keepStore(CURL *easy);

    StoreWarmUp() = default;
    ~StoreWarmUp();
    StoreWarmUp(const StoreWarmUp &) = delete;
    StoreWarmUp &operator=(const StoreWarmUp &) = delete;

    // Starts reading `trust` on `multi`, its sockets watched by `epoll`; false when it cannot.
    bool start(CURLM *multi, int epoll, const TrustStore &trust);
    bool active() const { return easy_ != nullptr; }
    const TrustStore &trust() const { return trust_; }
    // Whether `fd` is one of the warm-up's own sockets; its event is handled if so.
    bool handle(int fd);
    // Whether `easy` is the warm-up's transfer, which has ended; the warm-up ends with it.
    bool finished(CURL *easy);
    // Drops the transfer and closes the listener; before the multi handle goes.
    void stop();

private:
    CURLM *multi_ = nullptr;
    int epoll_ = -1;
    CURL *easy_ = nullptr;
    int listener_ = -1;
    int peer_ = -1;
    TrustStore trust_;
};
