// Heap blocks handed to the host: best-effort allocation that halves a request the heap
// cannot meet, with a 64 KiB reserve held meanwhile so that the caller still finds that
// much room free when the call returns.
#include <cstdlib>
#include <cstring>

#include "orvane.h"

namespace {

constexpr std::size_t kReserveBytes = 65536;

// Runs the reserve-and-halve loop; `attempt(size)` returns the block or NULL.
template <class Attempt>
void* reserveAndHalve(unsigned size, unsigned* obtained, Attempt attempt) noexcept {
    if (size == 0) return nullptr;
    unsigned want = size;
    if (obtained) *obtained = want;
    void* reserve = std::malloc(kReserveBytes);
    if (!reserve) return nullptr;
    void* block = nullptr;
    for (;;) {
        block = attempt(want);
        if (block || want < 2) break;
        want /= 2;
        if (obtained) *obtained = want;
    }
    std::free(reserve);
    return block;
}

}  // namespace

extern "C" {

TQ_API void* tqMisc_callocBuffer(unsigned size, unsigned* obtained) noexcept {
    return reserveAndHalve(size, obtained, [](unsigned n) { return std::calloc(n, 1); });
}

TQ_API void* tqMisc_reallocBuffer(void* block, unsigned size, unsigned* obtained) noexcept {
    return reserveAndHalve(size, obtained, [block](unsigned n) { return std::realloc(block, n); });
}

TQ_API int tqMisc_freeBuffer(void** handle) noexcept {
    if (handle && *handle) {
        std::free(*handle);
        *handle = nullptr;
    }
    return 0;
}

TQ_API int tqMisc_isDataNull(const unsigned char* data, int size) noexcept {
    if (!data || size <= 0) return 1;
    // All bytes are zero exactly when the first is and each equals its successor;
    // memcmp does that comparison a vector at a time.
    if (data[0] != 0) return 0;
    return std::memcmp(data, data + 1, static_cast<std::size_t>(size) - 1) == 0 ? 1 : 0;
}

}  // extern "C"
