// A reader of property-set streams (the "\005SummaryInformation" kind): the stream header,
// its sections by format identifier, each section's identifier/offset table, typed
// values, the dictionary of names, and the code page that governs 8-bit strings.
// Offsets and counts come from the file and are checked against the section before use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::cfb {
class CompoundFile;
}

namespace orvane::propset {

// A format identifier in its stored (little-endian fields) byte form.
struct FormatId {
    std::uint8_t bytes[16];
    bool operator==(const FormatId& other) const noexcept;
};

extern const FormatId kSummaryInformation;     // {F29F85E0-4FF9-1068-AB91-08002B27B3D9}
extern const FormatId kDocSummaryInformation;  // {D5CDD502-2E9C-101B-9397-08002B2CF9AE}
extern const FormatId kUserDefinedProperties;  // {D5CDD505-2E9C-101B-9397-08002B2CF9AE}

// Variant type words and bits that the readers distinguish.
enum : std::uint16_t {
    kVtEmpty = 0,
    kVtNull = 1,
    kVtI2 = 2,
    kVtI4 = 3,
    kVtR4 = 4,
    kVtR8 = 5,
    kVtBstr = 8,
    kVtBool = 11,
    kVtLpstr = 30,
    kVtLpwstr = 31,
    kVtFiletime = 64,
    kVtBlob = 65,
    kVtCf = 71,
    kVtVector = 0x1000,
    kVtArray = 0x2000,
    kVtByRef = 0x4000,
};

inline constexpr std::uint16_t kCodePageUnicode = 1200;
inline constexpr std::uint32_t kDictionaryId = 0;
inline constexpr std::uint32_t kCodePageId = 1;

// One value. Only the member that its type uses is set; the types whose text does not
// depend on their content (blobs, clipboard data, vectors, arrays, unknown words) carry
// just the type word.
struct Value {
    std::uint16_t type = kVtEmpty;
    std::int32_t integer = 0;   // VT_I2, VT_I4, VT_BOOL
    double real = 0;            // VT_R4 (widened), VT_R8
    std::uint64_t filetime = 0; // VT_FILETIME: 100 ns ticks since 1601-01-01 UTC
    std::string bytes;          // VT_LPSTR of an 8-bit set: the bytes as stored, to the first NUL
    std::u16string wide;        // VT_LPWSTR, VT_BSTR, and VT_LPSTR of a code page 1200 set
    bool isWide = false;
};

enum class ReadResult { Absent, Ok, Corrupt };

// One section, viewing the bytes of the stream that holds it (which must outlive it).
class Section {
public:
    // Reads the section header and its identifier/offset table. False when either leaves
    // the stream or the count cannot fit the section.
    bool parse(std::span<const std::uint8_t> stream, std::uint32_t offset);

    const std::vector<std::pair<std::uint32_t, std::uint32_t>>& table() const noexcept { return table_; }
    std::uint16_t codePage() const noexcept { return codePage_; }  // 0 when the set names none

    // The value of a property by identifier: Absent when the table has no such entry,
    // Corrupt when its offset or content leaves the section.
    ReadResult read(std::uint32_t id, Value& out) const;

    // The names of the dictionary (property 0), in stored order. Absent without one.
    ReadResult dictionary(std::vector<std::pair<std::uint32_t, std::u16string>>& out) const;

private:
    bool offsetOf(std::uint32_t id, std::uint32_t& offset) const;
    bool text8(std::size_t at, std::size_t length, bool toWide, Value& out) const;

    std::span<const std::uint8_t> data_;  // the section, by its stated size
    std::vector<std::pair<std::uint32_t, std::uint32_t>> table_;
    std::uint16_t codePage_ = 0;
};

// A property-set stream: owns its bytes and finds sections by format identifier.
class PropertySet {
public:
    // False when the stream header is unusable (byte order, version, section count).
    bool parse(std::vector<std::uint8_t> bytes);
    std::size_t sectionCount() const noexcept { return sections_.size(); }
    const FormatId& formatId(std::size_t i) const noexcept { return sections_[i].first; }
    // The first section with this identifier; false when absent or unusable.
    bool section(const FormatId& id, Section& out) const;

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<std::pair<FormatId, std::uint32_t>> sections_;
};

// The stream names of the standard sets; the user-defined set is the second section of
// the document summary stream.
inline constexpr char16_t kSummaryStream[] = u"\u0005SummaryInformation";
inline constexpr char16_t kDocSummaryStream[] = u"\u0005DocumentSummaryInformation";

// Opens the set `id` from the stream `streamName` of the root storage: false when the
// stream is missing, unreadable, or holds no usable section of that identifier. `section`
// views the bytes that `set` owns.
bool openSet(cfb::CompoundFile& file, std::u16string_view streamName, const FormatId& id, PropertySet& set,
             Section& section);

// Text of an 8-bit string in a code page, as 16-bit units (through iconv; 65001 is UTF-8).
// Conversion stops at the first byte sequence that the code page does not define; false
// then, with what came before in `out`.
bool decodeCodePage(std::uint16_t codePage, const std::uint8_t* text, std::size_t length, std::u16string& out);

}  // namespace orvane::propset
