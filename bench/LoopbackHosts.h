#pragma once

#include <cstdint>
#include <string>

// Host `index` of the benchmark lives on its own loopback address, so every request from either
// client opens a fresh connection to a distinct peer and nothing can be reused. 127.0.0.x is left
// to whatever else the machine runs there.
namespace LoopbackHosts {
constexpr int perBlock = 250;
constexpr int maxHosts = perBlock * perBlock;

// The address in host byte order.
inline std::uint32_t address(int index) {
    return (127u << 24) | (std::uint32_t(1 + index / perBlock) << 8) |
           std::uint32_t(1 + index % perBlock);
}

inline std::string dotted(int index) {
    return "127.0." + std::to_string(1 + index / perBlock) + "." +
           std::to_string(1 + index % perBlock);
}
} // namespace LoopbackHosts
