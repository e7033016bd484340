// The floor the engine is held to: the same requests as the engine's (the options HttpClient
// sets), made by a bare libcurl multi loop in a process of its own, with the trust store read
// once. Nothing a Qt program adds (event loop, signals, results) is in it, so what the engine
// costs beyond this is the engine's own.
//
//   tarvik_bench_floor URL_FILE CA_FILE
//
// One transfer to the first URL comes first, so the store is parsed before anything is
// measured; then every URL is requested at once. Prints "STATUS SECONDS" per transfer, then
// "cpu MILLISECONDS" for the CPU the process used from the first of those requests to the last
// answer.

#include <curl/curl.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {
size_t discard(char *, size_t size, size_t count, void *) {
    return size * count;
}

double cpuMs() {
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

CURL *request(const std::string &url, const char *caFile, curl_slist *headers) {
    CURL *easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 30000L);
    curl_easy_setopt(easy, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Tarvik/" TARVIK_VERSION);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
    return easy;
}

// Runs every transfer in `multi` to its end; false when one failed.
bool runAll(CURLM *multi, std::vector<std::pair<long, double>> &results) {
    int running = 1;
    while (running > 0) {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            return false;
        if (running > 0 && curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK)
            return false;
    }
    bool ok = true;
    int pending = 0;
    while (CURLMsg *message = curl_multi_info_read(multi, &pending)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL *easy = message->easy_handle;
        long status = 0;
        curl_off_t micros = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(easy, CURLINFO_TOTAL_TIME_T, &micros);
        if (message->data.result != CURLE_OK) {
            std::fprintf(stderr, "tarvik_bench_floor: %s\n",
                         curl_easy_strerror(message->data.result));
            ok = false;
        }
        results.emplace_back(status, double(micros) / 1e6);
        curl_multi_remove_handle(multi, easy);
        curl_easy_cleanup(easy);
    }
    return ok;
}
} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvik_bench_floor URL_FILE CA_FILE\n");
        return 2;
    }
    std::vector<std::string> urls;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);)
        if (!line.empty())
            urls.push_back(line);
    if (urls.empty()) {
        std::fprintf(stderr, "tarvik_bench_floor: no URLs in %s\n", argv[1]);
        return 2;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    curl_slist *headers = curl_slist_append(nullptr, "Accept: */*");
    CURLM *multi = curl_multi_init();

    std::vector<std::pair<long, double>> warmUp;
    curl_multi_add_handle(multi, request(urls.front(), argv[2], headers));
    if (!runAll(multi, warmUp))
        return 1;

    std::vector<std::pair<long, double>> results;
    const double start = cpuMs();
    for (const std::string &url : urls)
        curl_multi_add_handle(multi, request(url, argv[2], headers));
    const bool ok = runAll(multi, results);
    const double cpu = cpuMs() - start;
    for (const auto &[status, seconds] : results)
        std::printf("%ld %.6f\n", status, seconds);
    std::printf("cpu %.3f\n", cpu);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    curl_global_cleanup();
    return ok ? 0 : 1;
}
