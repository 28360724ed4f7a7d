// Feeds arbitrary bytes to the compound-document reader as a whole file, then walks
// every storage, reads every stream, parses every stream as a property set (all sections,
// every property, the dictionary) and runs the named-property lookup of the host layer.
// Each input is read a second time as the head of a 16 MiB file whose rest is zeros: only
// a file that large has FAT sectors past the header's 109, which the DIFAT locates.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/design_properties.hpp"
#include "platform/compound_file.hpp"
#include "platform/property_set.hpp"

using namespace orvane;

namespace {

void exerciseSet(const std::vector<std::uint8_t>& bytes) {
    propset::PropertySet set;
    if (!set.parse(bytes)) return;
    for (std::size_t i = 0; i < set.sectionCount(); ++i) {
        propset::Section section;
        if (!set.section(set.formatId(i), section)) continue;
        for (const auto& entry : section.table()) {
            propset::Value v;
            if (section.read(entry.first, v) == propset::ReadResult::Ok) (void)designprops::valueText(v);
        }
        std::vector<std::pair<std::uint32_t, std::u16string>> names;
        (void)section.dictionary(names);
    }
}

// The input followed by zeros up to `size`.
class ZeroTailSource final : public cfb::Source {
public:
    ZeroTailSource(const std::uint8_t* data, std::size_t length, std::uint64_t size)
        : data_(data), length_(length), size_(size) {}
    std::uint64_t size() const noexcept override { return size_; }
    bool read(std::uint64_t offset, void* into, std::size_t length) noexcept override {
        if (offset > size_ || length > size_ - offset) return false;
        auto* out = static_cast<std::uint8_t*>(into);
        const std::size_t head = offset < length_ ? static_cast<std::size_t>(
                                                        std::min<std::uint64_t>(length, length_ - offset))
                                                  : 0;
        if (head) std::memcpy(out, data_ + offset, head);
        std::memset(out + head, 0, length - head);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t length_;
    std::uint64_t size_;
};

void exerciseFile(std::unique_ptr<cfb::Source> source) {
    cfb::Status status;
    auto file = cfb::CompoundFile::open(std::move(source), status);
    if (!file) return;
    // Every storage reachable from the root, each at most once.
    std::vector<std::uint32_t> pending{cfb::CompoundFile::rootId()};
    std::vector<bool> seen(file->entryCount());
    seen[0] = true;
    std::vector<std::uint32_t> children;
    std::vector<std::uint8_t> bytes;
    while (!pending.empty()) {
        const std::uint32_t storage = pending.back();
        pending.pop_back();
        file->children(storage, children);
        for (std::uint32_t id : children) {
            if (seen[id]) continue;
            seen[id] = true;
            const cfb::Entry* e = file->entry(id);
            if (e->type == cfb::EntryType::Storage) {
                pending.push_back(id);
            } else if (file->readStream(id, bytes)) {
                exerciseSet(bytes);
            }
        }
    }
    std::string value;
    for (const char* name : {"Title", "Heading Pairs", "Project", "Größe"}) designprops::lookup(*file, name, value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The lookup prints its read diagnostics; keep the fuzzer's output readable.
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    exerciseFile(cfb::memorySource(data, size));
    if (size >= 512) exerciseFile(std::make_unique<ZeroTailSource>(data, size, std::uint64_t{16} << 20));
    return 0;
}
