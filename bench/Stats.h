#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace Stats {
// Nearest-rank percentile, `p` in (0, 100]; `values` must not be empty.
inline double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(p / 100.0 * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}
} // namespace Stats
