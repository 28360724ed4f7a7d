#include "platform/compound_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_set>

#include "platform/little_endian.hpp"

namespace orvane::cfb {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFAu;
constexpr unsigned kHeaderSize = 512;
constexpr unsigned kEntrySize = 128;
constexpr unsigned kMiniShift = 6;
constexpr unsigned kMiniSize = 1u << kMiniShift;

class FileSource final : public Source {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    std::uint64_t size() const noexcept override { return size_; }
    bool read(std::uint64_t offset, void* into, std::size_t length) noexcept override {
        if (offset > size_ || length > size_ - offset) return false;
        auto* p = static_cast<char*>(into);
        while (length > 0) {
            const ssize_t got = ::pread(fd_, p, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;  // the file shrank under us, or the device failed
            p += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    std::uint64_t size_;
};

class MemorySource final : public Source {
public:
    MemorySource(const void* data, std::size_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    std::uint64_t size() const noexcept override { return size_; }
    bool read(std::uint64_t offset, void* into, std::size_t length) noexcept override {
        if (offset > size_ || length > size_ - offset) return false;
        if (length) std::memcpy(into, data_ + offset, length);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

Status statusOfErrno(int e) {
    switch (e) {
        case ENOENT: return kFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return kPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR: return kAccessDenied;
        case ENOMEM: return kOutOfMemory;
        default: return kReadFault;
    }
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0); }

// Pieces of a stream that lie next to each other in the file are read with one call.
struct Piece {
    std::uint64_t offset;
    std::size_t length;
};

bool readPieces(Source& source, const std::vector<Piece>& pieces, std::uint8_t* out) {
    std::size_t i = 0;
    while (i < pieces.size()) {
        std::uint64_t start = pieces[i].offset;
        std::size_t length = pieces[i].length;
        std::size_t j = i + 1;
        while (j < pieces.size() && pieces[j].offset == start + length) length += pieces[j++].length;
        if (!source.read(start, out, length)) return false;
        out += length;
        i = j;
    }
    return true;
}

}  // namespace

std::unique_ptr<Source> fileSource(const char* path, Status& status) {
    // Non-blocking so that a FIFO named as the file cannot stall the open.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        status = statusOfErrno(errno);
        if (status == kFileNotFound) {
            // A missing folder on the way is a missing path, not a missing file.
            std::string folder(path);
            const std::size_t slash = folder.find_last_of('/');
            if (slash != std::string::npos && slash > 0) {
                folder.resize(slash);
                struct stat st {};
                if (::stat(folder.c_str(), &st) != 0) status = kPathNotFound;
            }
        }
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = S_ISDIR(st.st_mode) ? kAccessDenied : kNotCompoundFile;
        ::close(fd);
        return nullptr;
    }
    try {
        status = kOk;
        return std::make_unique<FileSource>(fd, static_cast<std::uint64_t>(st.st_size));
    } catch (...) {
        ::close(fd);
        status = kOutOfMemory;
        return nullptr;
    }
}

std::unique_ptr<Source> memorySource(const void* data, std::size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

std::unique_ptr<CompoundFile> CompoundFile::open(std::unique_ptr<Source> source, Status& status) {
    if (!source) {
        status = kNotCompoundFile;
        return nullptr;
    }
    std::unique_ptr<CompoundFile> file(new CompoundFile(std::move(source)));
    status = file->load();
    if (status != kOk) return nullptr;
    return file;
}

Status CompoundFile::load() {
    const std::uint64_t fileSize = source_->size();
    std::uint8_t h[kHeaderSize];
    if (fileSize < sizeof kSignature || !source_->read(0, h, sizeof kSignature) ||
        std::memcmp(h, kSignature, sizeof kSignature) != 0)
        return kNotCompoundFile;
    if (fileSize < kHeaderSize || !source_->read(0, h, kHeaderSize)) return kInvalidHeader;

    version_ = le16(h + 26);
    sectorShift_ = le16(h + 30);
    if (le16(h + 28) != 0xFFFE) return kInvalidHeader;
    if (!((version_ == 3 && sectorShift_ == 9) || (version_ == 4 && sectorShift_ == 12))) return kInvalidHeader;
    if (le16(h + 32) != kMiniShift) return kInvalidHeader;
    sectorSize_ = 1u << sectorShift_;
    fatSectors_ = le32(h + 44);
    firstDirectory_ = le32(h + 48);
    miniCutoff_ = le32(h + 56);
    firstMiniFat_ = le32(h + 60);
    miniFatSectors_ = le32(h + 64);
    firstDifat_ = le32(h + 68);
    difatSectors_ = le32(h + 72);
    for (unsigned i = 0; i < 109; ++i) headerDifat_[i] = le32(h + 76 + 4 * i);
    if (miniCutoff_ != 4096) return kInvalidHeader;

    // Every count below is bounded by the sectors that the file can actually hold.
    const std::uint64_t sectors = fileSize > sectorSize_ ? ceilDiv(fileSize - sectorSize_, sectorSize_) : 0;
    sectorCount_ = static_cast<std::uint32_t>(sectors < kMaxRegularSector ? sectors : kMaxRegularSector);
    if (fatSectors_ > sectorCount_ || difatSectors_ > sectorCount_) return kDocfileCorrupt;
    if (!loadDirectory()) return kDocfileCorrupt;
    return kOk;
}

bool CompoundFile::fatSectorLocation(std::uint32_t fatIndex, std::uint32_t& location) {
    if (fatIndex >= fatSectors_) return false;
    if (fatIndex < 109) {
        location = headerDifat_[fatIndex];
        return location < sectorCount_;
    }
    const std::uint32_t perDifat = sectorSize_ / 4 - 1;
    const std::uint32_t k = (fatIndex - 109) / perDifat;
    if (difatBroken_) return false;
    if (k >= difatEntries_.size()) {
        // Follow the DIFAT chain as far as needed; its sectors stay cached.
        std::unordered_set<std::uint32_t> seen(difatChain_.begin(), difatChain_.end());
        while (k >= difatEntries_.size()) {
            const std::uint32_t next = difatChain_.empty() ? firstDifat_ : difatEntries_.back()[perDifat];
            if (next >= sectorCount_ || difatChain_.size() >= difatSectors_ || !seen.insert(next).second) {
                difatBroken_ = true;
                return false;
            }
            std::vector<std::uint32_t> entries(sectorSize_ / 4);
            std::vector<std::uint8_t> raw(sectorSize_);
            if (!source_->read(sectorOffset(next), raw.data(), raw.size())) {
                difatBroken_ = true;
                return false;
            }
            for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = le32(raw.data() + 4 * i);
            difatChain_.push_back(next);
            difatEntries_.push_back(std::move(entries));
        }
    }
    location = difatEntries_[k][(fatIndex - 109) % perDifat];
    return location < sectorCount_;
}

bool CompoundFile::nextSector(std::uint32_t sector, std::uint32_t& next) {
    const std::uint32_t perSector = sectorSize_ / 4;
    const std::uint32_t index = sector / perSector;
    auto it = fatCache_.find(index);
    if (it == fatCache_.end()) {
        std::uint32_t location;
        if (!fatSectorLocation(index, location)) return false;
        std::vector<std::uint8_t> raw(sectorSize_);
        if (!source_->read(sectorOffset(location), raw.data(), raw.size())) return false;
        std::vector<std::uint32_t> entries(perSector);
        for (std::uint32_t i = 0; i < perSector; ++i) entries[i] = le32(raw.data() + 4 * i);
        it = fatCache_.emplace(index, std::move(entries)).first;
    }
    next = it->second[sector % perSector];
    return true;
}

bool CompoundFile::chain(std::uint32_t start, std::uint64_t count, bool toEnd, std::vector<std::uint32_t>& out) {
    out.clear();
    if (!toEnd && count == 0) return true;
    if (!toEnd && count > sectorCount_) return false;
    std::unordered_set<std::uint32_t> seen;
    seen.reserve(static_cast<std::size_t>(toEnd ? 16 : (count < 4096 ? count : 4096)));
    std::uint32_t current = start;
    for (;;) {
        if (current == kEndOfChain && toEnd) return true;
        if (current >= sectorCount_ || !seen.insert(current).second) return false;
        out.push_back(current);
        if (!toEnd && out.size() == count) return true;
        if (!nextSector(current, current)) return false;
    }
}

bool CompoundFile::loadDirectory() {
    std::vector<std::uint32_t> sectors;
    if (!chain(firstDirectory_, 0, true, sectors) || sectors.empty()) return false;
    std::vector<Piece> pieces;
    pieces.reserve(sectors.size());
    for (std::uint32_t s : sectors) pieces.push_back({sectorOffset(s), sectorSize_});
    std::vector<std::uint8_t> raw(sectors.size() * std::size_t{sectorSize_});
    if (!readPieces(*source_, pieces, raw.data())) return false;

    const std::size_t count = raw.size() / kEntrySize;
    entries_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* d = raw.data() + i * kEntrySize;
        Entry& e = entries_[i];
        const unsigned units = le16(d + 64) / 2 < 32 ? le16(d + 64) / 2 : 32;
        for (unsigned u = 0; u < units; ++u) {
            const char16_t c = static_cast<char16_t>(le16(d + 2 * u));
            if (c == 0) break;
            e.name.push_back(c);
        }
        switch (d[66]) {
            case 1: e.type = EntryType::Storage; break;
            case 2: e.type = EntryType::Stream; break;
            case 5: e.type = EntryType::Root; break;
            default: e.type = EntryType::Unused; break;
        }
        e.left = le32(d + 68);
        e.right = le32(d + 72);
        e.child = le32(d + 76);
        e.start = le32(d + 116);
        // Version 3 files keep only 32 bits of size; writers may leave garbage above them.
        e.size = version_ == 3 ? le32(d + 120) : le64(d + 120);
    }
    return entries_[0].type == EntryType::Root;
}

const Entry* CompoundFile::entry(std::uint32_t id) const noexcept {
    return id < entries_.size() ? &entries_[id] : nullptr;
}

bool CompoundFile::children(std::uint32_t storageId, std::vector<std::uint32_t>& out) const {
    out.clear();
    const Entry* storage = entry(storageId);
    if (!storage || (storage->type != EntryType::Storage && storage->type != EntryType::Root)) return false;
    // In-order walk of the sibling tree without recursion; a revisit means a cycle.
    std::vector<bool> visited(entries_.size());
    std::vector<std::uint32_t> stack;
    std::uint32_t current = storage->child;
    while (current != kNoEntry || !stack.empty()) {
        while (current != kNoEntry) {
            if (current >= entries_.size() || visited[current]) return false;
            visited[current] = true;
            stack.push_back(current);
            current = entries_[current].left;
        }
        current = stack.back();
        stack.pop_back();
        if (entries_[current].type != EntryType::Unused && entries_[current].type != EntryType::Root)
            out.push_back(current);
        current = entries_[current].right;
    }
    return true;
}

std::uint32_t CompoundFile::find(std::uint32_t storageId, std::u16string_view name) const {
    std::vector<std::uint32_t> ids;
    if (!children(storageId, ids)) return kNoEntry;
    for (std::uint32_t id : ids)
        if (entries_[id].name == name) return id;
    return kNoEntry;
}

bool CompoundFile::loadMiniStream() {
    if (miniLoaded_) return miniUsable_;
    miniLoaded_ = true;
    const Entry& root = entries_[0];
    if (root.size > std::uint64_t{sectorCount_} * sectorSize_) return false;
    if (!chain(root.start, ceilDiv(root.size, sectorSize_), false, miniStreamSectors_)) return false;
    if (!chain(firstMiniFat_, 0, true, miniFatChain_)) return false;
    miniUsable_ = true;
    return true;
}

bool CompoundFile::nextMiniSector(std::uint32_t sector, std::uint32_t& next) {
    const std::uint32_t perSector = sectorSize_ / 4;
    const std::uint32_t index = sector / perSector;
    if (index >= miniFatChain_.size()) return false;
    auto it = miniFatCache_.find(index);
    if (it == miniFatCache_.end()) {
        std::vector<std::uint8_t> raw(sectorSize_);
        if (!source_->read(sectorOffset(miniFatChain_[index]), raw.data(), raw.size())) return false;
        std::vector<std::uint32_t> entries(perSector);
        for (std::uint32_t i = 0; i < perSector; ++i) entries[i] = le32(raw.data() + 4 * i);
        it = miniFatCache_.emplace(index, std::move(entries)).first;
    }
    next = it->second[sector % perSector];
    return true;
}

bool CompoundFile::miniChain(std::uint32_t start, std::uint64_t count, std::vector<std::uint32_t>& out) {
    out.clear();
    const std::uint64_t miniSectors = entries_[0].size / kMiniSize;
    if (count > miniSectors) return false;
    std::unordered_set<std::uint32_t> seen;
    seen.reserve(static_cast<std::size_t>(count));
    std::uint32_t current = start;
    while (out.size() < count) {
        if (current >= miniSectors || !seen.insert(current).second) return false;
        out.push_back(current);
        if (out.size() < count && !nextMiniSector(current, current)) return false;
    }
    return true;
}

bool CompoundFile::readStream(std::uint32_t streamId, std::vector<std::uint8_t>& out) {
    out.clear();
    const Entry* e = entry(streamId);
    if (!e || e->type != EntryType::Stream) return false;
    const std::uint64_t size = e->size;
    std::vector<Piece> pieces;
    if (size < miniCutoff_) {
        if (!loadMiniStream() || size > entries_[0].size) return false;
        std::vector<std::uint32_t> minis;
        if (!miniChain(e->start, ceilDiv(size, kMiniSize), minis)) return false;
        pieces.reserve(minis.size());
        std::uint64_t left = size;
        for (std::uint32_t m : minis) {
            const std::uint64_t position = std::uint64_t{m} << kMiniShift;
            const std::uint64_t index = position >> sectorShift_;
            if (index >= miniStreamSectors_.size()) return false;
            const std::size_t length = static_cast<std::size_t>(left < kMiniSize ? left : kMiniSize);
            pieces.push_back({sectorOffset(miniStreamSectors_[index]) + (position & (sectorSize_ - 1)), length});
            left -= length;
        }
    } else {
        if (size > std::uint64_t{sectorCount_} * sectorSize_) return false;
        std::vector<std::uint32_t> sectors;
        if (!chain(e->start, ceilDiv(size, sectorSize_), false, sectors)) return false;
        pieces.reserve(sectors.size());
        std::uint64_t left = size;
        for (std::uint32_t s : sectors) {
            const std::size_t length = static_cast<std::size_t>(left < sectorSize_ ? left : sectorSize_);
            pieces.push_back({sectorOffset(s), length});
            left -= length;
        }
    }
    out.resize(static_cast<std::size_t>(size));
    if (!readPieces(*source_, pieces, out.data())) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace orvane::cfb
