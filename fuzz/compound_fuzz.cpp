// Feeds arbitrary bytes to the compound-document reader as a whole file, then walks
// every storage, reads every stream, parses every stream as a property set (all sections,
// every property, the dictionary) and runs the named-property lookup of the host layer.
#include <cstdint>
#include <cstdio>
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The lookup prints its read diagnostics; keep the fuzzer's output readable.
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cfb::Status status;
    auto file = cfb::CompoundFile::open(cfb::memorySource(data, size), status);
    if (!file) return 0;
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
    return 0;
}
