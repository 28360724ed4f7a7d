// Little-endian integers from unaligned bytes: the byte order of compound documents and
// property sets, whatever the machine's.
#pragma once

#include <cstdint>

namespace orvane {

inline std::uint16_t le16(const std::uint8_t* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le32(const std::uint8_t* p) noexcept {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t le64(const std::uint8_t* p) noexcept {
    return std::uint64_t{le32(p)} | (std::uint64_t{le32(p + 4)} << 32);
}

}  // namespace orvane
