#pragma once

#include <stdexcept>
#include <string>

// The benchmark could not measure what it set out to (the server did not start, a request
// failed, a round overran its bound): the run ends with a non-zero status instead of figures.
class BenchFailure : public std::runtime_error {
public:
    explicit BenchFailure(const std::string &what)
        : std::runtime_error(what) {}
};
