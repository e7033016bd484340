#include "http/HttpPhases.h"

#include <algorithm>

namespace {
double gap(std::int64_t from, std::int64_t to) {
    return double(std::max<std::int64_t>(to - from, 0)) / 1e6;
}
} // namespace

HttpPhases HttpPhases::fromMarks(const Marks &m) {
    HttpPhases p;
    p.dns = gap(0, m.nameLookup);
    p.connect = gap(m.nameLookup, m.connect);
    // Without a handshake APPCONNECT stays 0; the TLS phase is then 0, not "minus the connect".
    p.tls = m.appConnect > 0 ? gap(m.connect, m.appConnect) : 0.0;
    p.processing = gap(m.preTransfer, m.startTransfer);
    p.transfer = gap(m.startTransfer, m.total);
    return p;
}
