// A read-only reader of compound documents (the structured-storage file format: a FAT of
// fixed-size sectors, a mini stream for small streams, and a directory of storages and
// streams). Every byte of the file is treated as hostile: no read leaves the file, every
// chain and tree walk is bounded by what the file can hold, and a cycle is an error.
//
// Reading is lazy: opening reads the header and the directory; FAT, DIFAT and mini FAT
// sectors are read when a chain needs them and kept, and a stream read fetches only its
// own sectors. The size of the file therefore costs nothing beyond the path to the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvane::cfb {

// Status codes in the platform's structured-storage numbering, so that callers can report
// them as the host expects.
enum Status : std::uint32_t {
    kOk = 0,
    kFileNotFound = 0x80030002u,     // no such file
    kPathNotFound = 0x80030003u,     // a folder of the path is missing
    kAccessDenied = 0x80030005u,     // permission, or a folder given as the file
    kReadFault = 0x8003001Eu,        // the operating system failed a read
    kNotCompoundFile = 0x80030050u,  // no compound-document signature (also: empty file)
    kInvalidHeader = 0x800300FBu,    // signature present, header unusable
    kDocfileCorrupt = 0x80030109u,   // a chain, a size or the directory does not hold
    kOutOfMemory = 0x8007000Eu,
};

// Where the bytes come from: a file read with pread, or a block of memory.
class Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t size() const noexcept = 0;
    // Reads exactly `length` bytes at `offset`; false when that range is not all in the file.
    virtual bool read(std::uint64_t offset, void* into, std::size_t length) noexcept = 0;
};

std::unique_ptr<Source> fileSource(const char* path, Status& status);
std::unique_ptr<Source> memorySource(const void* data, std::size_t size);

enum class EntryType : std::uint8_t { Unused = 0, Storage = 1, Stream = 2, Root = 5 };

inline constexpr std::uint32_t kNoEntry = 0xFFFFFFFFu;

struct Entry {
    std::u16string name;  // at most 31 units, as stored
    EntryType type = EntryType::Unused;
    std::uint32_t left = kNoEntry, right = kNoEntry, child = kNoEntry;
    std::uint32_t start = 0;  // first sector (or mini sector)
    std::uint64_t size = 0;
};

class CompoundFile {
public:
    // Reads and checks the header and the directory. On failure returns null and sets
    // `status` (kNotCompoundFile when the signature is missing).
    static std::unique_ptr<CompoundFile> open(std::unique_ptr<Source> source, Status& status);

    unsigned version() const noexcept { return version_; }
    unsigned sectorSize() const noexcept { return sectorSize_; }
    std::uint32_t entryCount() const noexcept { return static_cast<std::uint32_t>(entries_.size()); }
    static constexpr std::uint32_t rootId() noexcept { return 0; }

    // The entry of an id, or null for an id outside the directory.
    const Entry* entry(std::uint32_t id) const noexcept;

    // The ids of a storage's children in the order of their sibling tree (walked with an
    // explicit stack). False when the tree leaves the directory, revisits an entry or the
    // id is not a storage; `out` then holds what was reached.
    bool children(std::uint32_t storageId, std::vector<std::uint32_t>& out) const;

    // The child of a storage whose name equals `name` exactly (case-sensitive, although
    // the format orders siblings without case). kNoEntry when absent or the tree is corrupt.
    std::uint32_t find(std::uint32_t storageId, std::u16string_view name) const;

    // The whole content of a stream. False (and `out` empty) when a chain breaks, loops,
    // leaves the file or ends before the stream's size.
    bool readStream(std::uint32_t streamId, std::vector<std::uint8_t>& out);

private:
    explicit CompoundFile(std::unique_ptr<Source> source) : source_(std::move(source)) {}
    Status load();
    bool loadDirectory();

    std::uint64_t sectorOffset(std::uint32_t sector) const noexcept {
        return (static_cast<std::uint64_t>(sector) + 1) << sectorShift_;
    }
    // The FAT entry of a sector (the next sector of its chain), via the DIFAT.
    bool nextSector(std::uint32_t sector, std::uint32_t& next);
    bool fatSectorLocation(std::uint32_t fatIndex, std::uint32_t& location);
    bool nextMiniSector(std::uint32_t sector, std::uint32_t& next);
    // Follows a chain from `start` for `count` sectors (or to its end when count is
    // unknown, passed as 0 with `toEnd`), refusing cycles and ids past the file.
    bool chain(std::uint32_t start, std::uint64_t count, bool toEnd, std::vector<std::uint32_t>& out);
    bool miniChain(std::uint32_t start, std::uint64_t count, std::vector<std::uint32_t>& out);
    bool loadMiniStream();

    std::unique_ptr<Source> source_;
    unsigned version_ = 0;
    unsigned sectorShift_ = 9;
    unsigned sectorSize_ = 512;
    std::uint32_t sectorCount_ = 0;  // sectors the file can hold after the header
    std::uint32_t fatSectors_ = 0;
    std::uint32_t firstDirectory_ = 0;
    std::uint32_t miniCutoff_ = 4096;
    std::uint32_t firstMiniFat_ = 0;
    std::uint32_t miniFatSectors_ = 0;
    std::uint32_t firstDifat_ = 0;
    std::uint32_t difatSectors_ = 0;
    std::uint32_t headerDifat_[109] = {};

    // DIFAT sectors read so far, in chain order, with their entries.
    std::vector<std::uint32_t> difatChain_;
    std::vector<std::vector<std::uint32_t>> difatEntries_;
    bool difatBroken_ = false;
    // FAT sectors read so far, by index in the FAT.
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> fatCache_;

    std::vector<Entry> entries_;

    // The mini stream (the root entry's chain) and the mini FAT, loaded on first use.
    bool miniLoaded_ = false;
    bool miniUsable_ = false;
    std::vector<std::uint32_t> miniStreamSectors_;
    std::vector<std::uint32_t> miniFatChain_;
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> miniFatCache_;
};

}  // namespace orvane::cfb
