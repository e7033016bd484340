#pragma once

#include "checks/CheckOptions.h"
#include "checks/CheckVerdict.h"
#include "http/HttpRequestOptions.h"
#include "http/HttpResult.h"

// A host check with options of its own, on its way through the client: the options become the
// request, and the request's result becomes the answer CheckVerdict judges. A host without
// options gets the plain request it always had (HttpRequestOptions{}), whose result judges the
// same way.
class CheckRequest {
public:
    // What the client is to ask for the host: its method, headers, timeout, redirects, body texts
    // and pin. Header values and body texts go as their UTF-8 bytes.
    static HttpRequestOptions options(const CheckOptions &check);

    // The result as CheckVerdict takes it: an answer with its status, a timeout, a changed key,
    // or any other failure with its short reason; the body searches' findings and the duration.
    static CheckVerdict::Answer answer(const HttpResult &result);

    // `result` as `verdict` read it, for whoever takes a check's result as it comes (history,
    // notices, the command line, metrics): `ok` follows the verdict, and a failure whose reason
    // is the verdict's own ("HTTP 401 (expected 200)", "body lacks ...") reads as that reason
    // (HttpFailure::Other with the reason as its error). A transport failure the verdict only
    // repeats keeps its kind, which tells a machine without network from a host that is down.
    static HttpResult judged(const HttpResult &result, const CheckVerdict &verdict);
};
