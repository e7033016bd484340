#pragma once

#include <cstdint>

// Where one check's time went, in seconds. libcurl reports cumulative marks from the start of the
// transfer (summed over redirects); the phases are the gaps between them, the way server-side
// probers split a request, so dashboards built for those read these the same way:
//   dns        name lookup
//   connect    TCP connect, after the lookup
//   tls        TLS handshake, after the connect (0 for plain http)
//   processing from the request being ready to the first byte of the answer (server time)
//   transfer   from the first byte to the end of the body
// The short gap between the handshake and the request being sent belongs to no phase, so the
// phases add up to slightly less than the total.
struct HttpPhases {
    double dns = 0.0;
    double connect = 0.0;
    double tls = 0.0;
    double processing = 0.0;
    double transfer = 0.0;

    // libcurl's *_TIME_T marks, in microseconds from the start.
    struct Marks {
        std::int64_t nameLookup = 0;
        std::int64_t connect = 0;
        std::int64_t appConnect = 0; // 0 when no TLS handshake took place
        std::int64_t preTransfer = 0;
        std::int64_t startTransfer = 0;
        std::int64_t total = 0;
    };

    // The phases between `marks`; a phase whose marks run backwards (clock steps, a mark libcurl
    // left at 0) counts as 0 rather than going negative.
    static HttpPhases fromMarks(const Marks &marks);
};
