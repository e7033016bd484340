#include "http/CheckRequest.h"

HttpRequestOptions CheckRequest::options(const CheckOptions &check) {
    HttpRequestOptions options;
    if (check.method == CheckOptions::Method::Head)
        options.method = HttpRequestOptions::Method::Head;
    options.headers.reserve(size_t(check.headers.size()));
    for (auto it = check.headers.cbegin(); it != check.headers.cend(); ++it)
        options.headers.emplace_back(it.key().toUtf8(), it.value().toUtf8());
    options.deadline = std::chrono::seconds(check.timeoutSeconds);
    options.followRedirects = check.followRedirects;
    if (check.bodyContains)
        options.bodyContains = check.bodyContains->toUtf8();
    if (check.bodyLacks)
        options.bodyLacks = check.bodyLacks->toUtf8();
    if (check.trustedCertificate)
        options.pinnedPublicKey = check.trustedCertificate->toLatin1();
    return options;
}

CheckVerdict::Answer CheckRequest::answer(const HttpResult &result) {
    using Transport = CheckVerdict::Answer::Transport;
    CheckVerdict::Answer answer;
    answer.status = result.status;
    answer.bodyContainsFound = result.bodyContainsFound;
    answer.bodyLacksFound = result.bodyLacksFound;
    answer.bodyCut = result.bodyCut;
    answer.seconds = result.seconds;
    switch (result.failure) {
    case HttpFailure::None:
    case HttpFailure::HttpStatus:
        answer.transport = Transport::Answered;
        break;
    case HttpFailure::TimedOut:
        answer.transport = Transport::TimedOut;
        break;
    case HttpFailure::CertificateKeyChanged:
        answer.transport = Transport::KeyChanged;
        break;
    default:
        answer.transport = Transport::Failed;
        answer.failureReason = failureReason(result);
        break;
    }
    return answer;
}

HttpResult CheckRequest::judged(const HttpResult &result, const CheckVerdict &verdict) {
    HttpResult judged = result;
    judged.ok = verdict.up;
    if (verdict.up) {
        judged.failure = HttpFailure::None;
        judged.error.clear();
    } else if (result.ok || failureReason(result) != verdict.reason) {
        judged.failure = HttpFailure::Other;
        judged.error = verdict.reason;
    }
    return judged;
}
