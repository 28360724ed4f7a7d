// Internals of the design-file property functions, shared with their tests and the
// command line: the name tables, the value texts and the lookup over the three sets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/compound_file.hpp"
#include "platform/property_set.hpp"

namespace orvane::designprops {

struct PropertyName {
    const char* name;
    std::uint32_t id;
};

// The fixed names of the summary and document summary sets ("Thumpnail" is spelt so).
inline constexpr PropertyName kSummaryNames[18] = {
    {"Title", 2},         {"Subject", 3},      {"Author", 4},           {"Keywords", 5},  {"Comments", 6},
    {"Template", 7},      {"Last Author", 8},  {"Revision Number", 9},  {"Edit Time", 10},
    {"Last Printed", 11}, {"Created", 12},     {"Last Saved", 13},      {"Page Count", 14},
    {"Word Count", 15},   {"Char Count", 16},  {"Thumpnail", 17},       {"AppName", 18},
    {"Doc Security", 19},
};

inline constexpr PropertyName kDocSummaryNames[15] = {
    {"Category", 2},        {"Presentation Target", 3}, {"Bytes", 4},       {"Lines", 5},
    {"Paragraphs", 6},      {"Slides", 7},              {"Notes", 8},       {"Hidden Slides", 9},
    {"MMClips", 10},        {"Scale Crop", 11},         {"Heading Pairs", 12}, {"Titles of Parts", 13},
    {"Manager", 14},        {"Company", 15},            {"LinksUpToDate", 16},
};

// Opens a file as a compound document; null with a status on failure.
std::unique_ptr<cfb::CompoundFile> openFile(const char* path, cfb::Status& status);

// Looks `name` up in the summary, document summary and user-defined sets, in that order,
// printing the read diagnostics on standard output. True when a set found it.
bool lookup(cfb::CompoundFile& file, const char* name, std::string& value);

// The dictionary, code page and locale identifiers, which name no user property.
bool isSpecialId(std::uint32_t id);

// The text of a value by its type word, wide texts converted in the current locale.
std::string valueText(const propset::Value& value);

// "%d:%d:%d:%d %d/%d/%d" of a file time in local time; empty when it is no time.
std::string fileTimeText(std::uint64_t ticks);

// 16-bit text as multibyte text of the current locale, at most `limit` bytes (whole
// characters only). False at the first unit the locale cannot encode; `out` then holds
// what came before it.
bool narrowText(std::u16string_view wide, std::size_t limit, std::string& out);

// Bytes of `text` that make up at most `maxChars` characters of the current locale.
std::size_t cutAtCharacters(const char* text, std::size_t maxChars);

}  // namespace orvane::designprops
