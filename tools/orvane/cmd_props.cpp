// orvane subcommands of the design-file properties: property texts and the V8 test.
//
// Values come from histo_getV8Prop, exactly as a host gets them (its diagnostics included,
// which it prints on standard output). Listing every property needs the names that a file
// carries, which no exported function gives: the listing reads them with the library's
// own compound-document reader, linked in statically.
#include <sys/stat.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"
#include "host/design_properties.hpp"
#include "platform/compound_file.hpp"
#include "platform/property_set.hpp"

namespace cli {

namespace {

using namespace orvane;

// UTF-8 of 16-bit text, for showing names whatever the process locale.
std::string utf8(const std::u16string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// No value text can be longer than the file it comes from, plus the room of a number.
std::vector<char> valueBuffer(const std::string& file) {
    struct stat st {};
    const std::size_t size = ::stat(file.c_str(), &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    return std::vector<char>(size + 1024);
}

// Prints one value line; a failed call has already printed its diagnostic (without a line
// break), which the line then ends.
bool printValue(const std::string& file, const std::string& name, bool withName, std::vector<char>& buffer) {
    if (withName) std::printf("%s\t", name.c_str());
    std::fflush(stdout);
    const int found = histo_getV8Prop(file.c_str(), name.c_str(), buffer.data());
    std::printf("%s\n", buffer.data());
    return found == 1;
}

void addFixed(cfb::CompoundFile& file, const char16_t* stream, const propset::FormatId& id,
              const designprops::PropertyName* table, std::size_t n, std::vector<std::string>& names) {
    propset::PropertySet set;
    propset::Section section;
    if (!propset::openSet(file, stream, id, set, section)) return;
    for (const auto& entry : section.table())
        for (std::size_t i = 0; i < n; ++i)
            if (table[i].id == entry.first) names.emplace_back(table[i].name);
}

int runProps(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("props: no FILE given");
    const std::string& file = args[0];
    std::vector<char> buffer = valueBuffer(file);
    std::vector<std::string> names(args.begin() + 1, args.end());
    const bool listing = names.empty();
    if (listing) {
        cfb::Status status;
        auto source = cfb::fileSource(file.c_str(), status);
        auto doc = source ? cfb::CompoundFile::open(std::move(source), status) : nullptr;
        if (!doc) {
            // Let the library say why, as a host would see it.
            printValue(file, "Title", false, buffer);
            return 1;
        }
        addFixed(*doc, propset::kSummaryStream, propset::kSummaryInformation, designprops::kSummaryNames, std::size(designprops::kSummaryNames), names);
        addFixed(*doc, propset::kDocSummaryStream, propset::kDocSummaryInformation, designprops::kDocSummaryNames,
                 std::size(designprops::kDocSummaryNames), names);
        propset::PropertySet set;
        propset::Section section;
        std::vector<std::pair<std::uint32_t, std::u16string>> dictionary;
        if (propset::openSet(*doc, propset::kDocSummaryStream, propset::kUserDefinedProperties, set, section) &&
            section.dictionary(dictionary) == propset::ReadResult::Ok) {
            for (const auto& entry : section.table())
                for (const auto& [id, name] : dictionary)
                    if (id == entry.first) {
                        names.push_back(utf8(name));
                        break;
                    }
        }
    }
    int status = 0;
    std::set<std::string> shown;
    for (const std::string& name : names) {
        if (listing && !shown.insert(name).second) continue;
        if (!printValue(file, name, listing, buffer) && !listing) status = 1;
    }
    return status;
}

int runIsDgn(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("isdgn: no FILE given");
    int status = 0;
    for (const std::string& file : args) {
        const int yes = oxFile_isV8Dgn(file.c_str());
        std::printf("%s: %s\n", file.c_str(), yes ? "V8 design file" : "not a V8 design file");
        if (!yes) status = 1;
    }
    return status;
}

constexpr Command kCommands[] = {
    {"props", "FILE [NAME...]",
     "document properties of a compound document: each NAME's value, or every property as NAME<TAB>VALUE",
     runProps, "",
     "orvane props plan.dgn\norvane props plan.dgn Title Author"},
    {"isdgn", "FILE...", "tells for each file whether it is a V8 design file; exit 0 when all are", runIsDgn, "",
     "orvane isdgn plan.dgn notes.doc"},
};

}  // namespace

std::span<const Command> designFileCommands() { return kCommands; }

}  // namespace cli
