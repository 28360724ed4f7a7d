// Internal entry to the CRC-32 and SHA-1 code paths, so that tests and benchmarks can run
// each implementation that the CPU offers, not only the one the dispatcher picks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvane {

enum class CrcPath { Table, Isal };
enum class Sha1Path { Portable, ShaNi };

// True when this CPU (and build) can run the path.
bool crcPathAvailable(CrcPath path) noexcept;
bool sha1PathAvailable(Sha1Path path) noexcept;

// The fastest path this CPU can run.
CrcPath bestCrcPath() noexcept;
Sha1Path bestSha1Path() noexcept;

// Finished CRC-32 continuing `previous`, as tqMath_calcCRC32 computes it, on the given path
// (which must be available).
std::uint32_t crc32(CrcPath path, std::uint32_t previous, const void* data, std::size_t length) noexcept;

// Runs the SHA-1 compression over `blocks` whole 64-byte blocks, updating `state`.
void sha1Blocks(Sha1Path path, std::uint32_t state[5], const unsigned char* data, std::size_t blocks) noexcept;

// tqMath_calcSHA1 on the given path (which must be available).
void calcSha1OnPath(Sha1Path path, unsigned digest[5], const void* data, unsigned length, bool reset) noexcept;

}  // namespace orvane
