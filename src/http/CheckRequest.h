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
};
