// Design-file properties: whether a compound document is a V8 design file, and the text of
// one named document property from the summary, document summary or user-defined set.
#include <uchar.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string>

#include "frame/boundary.hpp"
#include "host/design_properties.hpp"
#include "orvane.h"
#include "platform/compound_file.hpp"
#include "platform/property_set.hpp"

namespace orvane::designprops {

using cfb::CompoundFile;
using propset::Section;
using propset::Value;

std::size_t cutAtCharacters(const char* text, std::size_t maxChars) {
    std::mbstate_t state{};
    std::size_t at = 0, chars = 0;
    const std::size_t total = std::strlen(text);
    while (at < total && chars < maxChars) {
        const std::size_t n = std::mbrtowc(nullptr, text + at, total - at, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2) || n == 0) {
            // A byte that starts no character counts as one, as the host's conversion would.
            state = std::mbstate_t{};
            ++at;
        } else {
            at += n;
        }
        ++chars;
    }
    return at;
}

bool narrowText(std::u16string_view wide, std::size_t limit, std::string& out) {
    out.clear();
    std::mbstate_t state{};
    char buf[MB_LEN_MAX + 4];
    for (char16_t unit : wide) {
        const std::size_t n = ::c16rtomb(buf, unit, &state);
        if (n == static_cast<std::size_t>(-1)) return false;
        // A character is written whole or not at all.
        if (out.size() + n > limit) return true;
        out.append(buf, n);
    }
    return true;
}

std::string valueText(const Value& v) {
    char buf[512];
    std::string text;
    const std::uint16_t t = v.type;
    if (t & propset::kVtArray) return "(Array)";
    if (t & propset::kVtByRef) return "(ByRef)";
    switch (t) {
        case propset::kVtEmpty:
        case propset::kVtNull: return text;
        case propset::kVtI2:
        case propset::kVtI4: std::snprintf(buf, sizeof buf, "%d", v.integer); return buf;
        case propset::kVtR4:
        case propset::kVtR8: std::snprintf(buf, sizeof buf, "%lf", v.real); return buf;
        case propset::kVtBstr:
            // A BSTR's stored length is two bytes per unit: that, and 1023, bound the text.
            narrowText(v.wide, std::min<std::size_t>(2 * v.wide.size(), 1023), text);
            return text;
        case propset::kVtBool: return v.integer ? "TRUE" : "FALSE";
        case propset::kVtLpstr:
            if (!v.isWide) return v.bytes;
            narrowText(v.wide, static_cast<std::size_t>(-1), text);
            return text;
        case propset::kVtLpwstr: narrowText(v.wide, 1023, text); return text;
        case propset::kVtFiletime: return fileTimeText(v.filetime);
        case propset::kVtBlob: return "(VT_BLOB)";
        case propset::kVtCf: return "(Clipboard format)";
        default:
            std::snprintf(buf, sizeof buf, "(Unhandled type: 0x%08lx)", static_cast<unsigned long>(t));
            return buf;
    }
}

std::string fileTimeText(std::uint64_t ticks) {
    // Ticks of 100 ns since 1601-01-01 UTC; a value with the top bit set is no time at all.
    if (ticks > static_cast<std::uint64_t>(INT64_MAX)) return {};
    constexpr std::int64_t kEpochShift = 11644473600;  // seconds from 1601 to 1970
    const std::int64_t seconds = static_cast<std::int64_t>(ticks / 10000000) - kEpochShift;
    const int millis = static_cast<int>((ticks % 10000000) / 10000);
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&when, &local)) return {};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%d:%d:%d:%d %d/%d/%d", local.tm_hour, local.tm_min, local.tm_sec, millis,
                  local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    return buf;
}

namespace {

constexpr std::uint32_t kReadFailed = cfb::kDocfileCorrupt;

// A set named by a fixed table: every row is read (one failed row fails the request),
// then the row of the asked name, if any, gives the text.
template <std::size_t N>
bool lookupFixed(CompoundFile& file, const char16_t* stream, const propset::FormatId& id,
                 const PropertyName (&table)[N], const char* name, std::string& value) {
    propset::PropertySet set;
    Section section;
    if (!propset::openSet(file, stream, id, set, section)) return false;
    Value values[N];
    for (std::size_t i = 0; i < N; ++i) {
        if (section.read(table[i].id, values[i]) == propset::ReadResult::Corrupt) {
            std::printf("IPropertyStg::ReadMultiple() failed w/error %08lx\n", static_cast<unsigned long>(kReadFailed));
            return false;
        }
    }
    bool found = false;
    for (std::size_t i = 0; i < N; ++i) {
        if (std::strcmp(table[i].name, name) == 0) {
            value = valueText(values[i]);
            found = true;
        }
    }
    return found;
}

// The user-defined set: every property with a name in the dictionary is compared, to the
// end of the set, so a later property of the same name wins.
bool lookupUserDefined(CompoundFile& file, const char* name, std::string& value) {
    propset::PropertySet set;
    Section section;
    if (!propset::openSet(file, propset::kDocSummaryStream, propset::kUserDefinedProperties, set, section))
        return false;
    std::vector<std::pair<std::uint32_t, std::u16string>> names;
    if (section.dictionary(names) == propset::ReadResult::Corrupt) return false;
    bool found = false;
    std::string narrowName;
    for (const auto& [id, offset] : section.table()) {
        (void)offset;
        if (isSpecialId(id)) continue;
        Value v;
        if (section.read(id, v) != propset::ReadResult::Ok) continue;
        const std::u16string* stored = nullptr;
        for (const auto& entry : names)
            if (entry.first == id) {
                stored = &entry.second;
                break;
            }
        // A name that the conversion locale cannot spell whole matches nothing.
        if (!stored || !narrowText(*stored, 1023, narrowName)) continue;
        if (narrowName == name) {
            value = valueText(v);
            found = true;
        }
    }
    return found;
}

}  // namespace

std::unique_ptr<CompoundFile> openFile(const char* path, cfb::Status& status) {
    auto source = cfb::fileSource(path, status);
    if (!source) return nullptr;
    return CompoundFile::open(std::move(source), status);
}

bool isSpecialId(std::uint32_t id) {
    return id == propset::kDictionaryId || id == propset::kCodePageId || id == 0x80000000u || id == 0x80000003u;
}

bool lookup(CompoundFile& file, const char* name, std::string& value) {
    if (lookupFixed(file, propset::kSummaryStream, propset::kSummaryInformation, kSummaryNames, name, value))
        return true;
    if (lookupFixed(file, propset::kDocSummaryStream, propset::kDocSummaryInformation, kDocSummaryNames, name, value))
        return true;
    return lookupUserDefined(file, name, value);
}

}  // namespace orvane::designprops

using namespace orvane;

extern "C" {

TQ_API int oxFile_isV8Dgn(const char* fileName) TQ_NOEXCEPT {
    if (!fileName) return 0;
    return guarded(0, [&] {
        const std::string name(fileName, designprops::cutAtCharacters(fileName, 255));
        cfb::Status status;
        auto file = designprops::openFile(name.c_str(), status);
        if (!file) return 0;
        std::vector<std::uint32_t> children;
        if (!file->children(cfb::CompoundFile::rootId(), children)) return 0;
        int result = 0;
        for (std::uint32_t id : children) {
            const cfb::Entry* e = file->entry(id);
            if (e->type == cfb::EntryType::Storage && e->name == u"Dgn-Md") result = 1;
        }
        return result;
    });
}

TQ_API int histo_getV8Prop(const char* fileName, const char* propertyName, char* value) TQ_NOEXCEPT {
    if (value) value[0] = '\0';
    // The name is read in the user's locale; everything after runs in "C", which the call
    // leaves behind whatever was set before (also when an argument is missing).
    std::setlocale(LC_ALL, "");
    const std::size_t nameLength = fileName ? designprops::cutAtCharacters(fileName, 1023) : 0;
    std::setlocale(LC_ALL, "C");
    if (!value || !fileName || !propertyName) return 0;
    return guarded(0, [&] {
        const std::string name(fileName, nameLength);
        cfb::Status status;
        auto file = designprops::openFile(name.c_str(), status);
        if (!file) {
            if (status == cfb::kFileNotFound)
                std::fputs("File not found.", stdout);
            else if (status == cfb::kNotCompoundFile)
                std::fputs("Not a compound file.", stdout);
            else
                std::printf("StgOpenStorage() failed w/error %08lx", static_cast<unsigned long>(status));
            return 0;
        }
        std::string text;
        if (!designprops::lookup(*file, propertyName, text)) return 0;
        std::memcpy(value, text.c_str(), text.size() + 1);
        return 1;
    });
}

}  // extern "C"
