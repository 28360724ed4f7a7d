#include "platform/property_set.hpp"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/compound_file.hpp"
#include "platform/little_endian.hpp"

namespace orvane::propset {

const FormatId kSummaryInformation = {
    {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10, 0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
const FormatId kDocSummaryInformation = {
    {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10, 0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
const FormatId kUserDefinedProperties = {
    {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10, 0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};

bool FormatId::operator==(const FormatId& other) const noexcept {
    return std::memcmp(bytes, other.bytes, sizeof bytes) == 0;
}

namespace {

constexpr std::size_t kStreamHeader = 28;
constexpr std::size_t kSectionEntry = 20;

// The iconv name of a code page; the common Windows code pages are known to glibc as CPnnn.
std::string iconvName(std::uint16_t codePage) {
    switch (codePage) {
        case 0: return "CP1252";  // a set without a code page: the Western default
        case 65001: return "UTF-8";
        case 1201: return "UTF-16BE";
        case 20127: return "ASCII";
        case 10000: return "MACINTOSH";
        case 20932: return "EUC-JP";
        case 50220: return "ISO-2022-JP";
        case 51949: return "EUC-KR";
        case 54936: return "GB18030";
        default: break;
    }
    if (codePage >= 28591 && codePage <= 28606) return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

}  // namespace

bool decodeCodePage(std::uint16_t codePage, const std::uint8_t* text, std::size_t length, std::u16string& out) {
    out.clear();
    if (length == 0) return true;
    bool ascii = true;
    for (std::size_t i = 0; i < length && ascii; ++i) ascii = text[i] < 0x80;
    if (ascii && codePage != 1201) {
        // Every 8-bit code page that a property set uses keeps ASCII as it is.
        out.assign(text, text + length);
        return true;
    }
    const iconv_t cd = ::iconv_open("UTF-16LE", iconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string wide(length * 4 + 8, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text));
    std::size_t inLeft = length;
    char* to = wide.data();
    std::size_t toLeft = wide.size();
    const std::size_t r = ::iconv(cd, &in, &inLeft, &to, &toLeft);
    ::iconv_close(cd);
    const std::size_t produced = (wide.size() - toLeft) / 2;
    out.resize(produced);
    for (std::size_t i = 0; i < produced; ++i)
        out[i] = static_cast<char16_t>(le16(reinterpret_cast<const std::uint8_t*>(wide.data()) + 2 * i));
    return r != static_cast<std::size_t>(-1);
}

bool PropertySet::parse(std::vector<std::uint8_t> bytes) {
    bytes_ = std::move(bytes);
    sections_.clear();
    if (bytes_.size() < kStreamHeader) return false;
    const std::uint8_t* p = bytes_.data();
    if (le16(p) != 0xFFFE || le16(p + 2) > 1) return false;
    const std::uint32_t count = le32(p + 24);
    if (count > (bytes_.size() - kStreamHeader) / kSectionEntry) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = p + kStreamHeader + i * kSectionEntry;
        FormatId id;
        std::memcpy(id.bytes, e, sizeof id.bytes);
        sections_.emplace_back(id, le32(e + 16));
    }
    return true;
}

bool PropertySet::section(const FormatId& id, Section& out) const {
    for (const auto& [fmtid, offset] : sections_)
        if (fmtid == id) return out.parse(bytes_, offset);
    return false;
}

bool Section::parse(std::span<const std::uint8_t> stream, std::uint32_t offset) {
    table_.clear();
    codePage_ = 0;
    if (offset > stream.size() || stream.size() - offset < 8) return false;
    const std::uint8_t* p = stream.data() + offset;
    const std::uint32_t size = le32(p);
    const std::uint32_t count = le32(p + 4);
    if (size < 8 || size > stream.size() - offset) return false;
    if (count > (size - 8) / 8) return false;
    data_ = stream.subspan(offset, size);
    table_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) table_.emplace_back(le32(p + 8 + 8 * i), le32(p + 12 + 8 * i));
    Value cp;
    if (read(kCodePageId, cp) == ReadResult::Ok && cp.type == kVtI2)
        codePage_ = static_cast<std::uint16_t>(cp.integer);
    return true;
}

bool Section::offsetOf(std::uint32_t id, std::uint32_t& offset) const {
    for (const auto& [pid, off] : table_)
        if (pid == id) {
            offset = off;
            return true;
        }
    return false;
}

// A CodePageString body of `length` bytes at `at`: up to its first NUL, as bytes or (in a
// code page 1200 set, or when the caller wants 16-bit text) as 16-bit units.
bool Section::text8(std::size_t at, std::size_t length, bool toWide, Value& out) const {
    const std::uint8_t* p = data_.data() + at;
    if (codePage_ == kCodePageUnicode) {
        out.isWide = true;
        out.wide.clear();
        for (std::size_t i = 0; i + 1 < length; i += 2) {
            const char16_t c = static_cast<char16_t>(le16(p + i));
            if (c == 0) break;
            out.wide.push_back(c);
        }
        return true;
    }
    const std::size_t n = strnlen(reinterpret_cast<const char*>(p), length);
    if (toWide) {
        out.isWide = true;
        decodeCodePage(codePage_, p, n, out.wide);  // an undefined sequence ends the text
    } else {
        out.bytes.assign(reinterpret_cast<const char*>(p), n);
    }
    return true;
}

ReadResult Section::read(std::uint32_t id, Value& out) const {
    out = Value{};
    std::uint32_t offset;
    if (!offsetOf(id, offset)) return ReadResult::Absent;
    const std::size_t size = data_.size();
    if (offset > size || size - offset < 4) return ReadResult::Corrupt;
    const std::uint8_t* p = data_.data() + offset;
    const std::size_t room = size - offset - 4;  // bytes after the type word and padding
    const std::uint8_t* v = p + 4;
    out.type = le16(p);
    switch (out.type) {
        case kVtEmpty:
        case kVtNull: return ReadResult::Ok;
        case kVtI2:
            if (room < 2) return ReadResult::Corrupt;
            out.integer = static_cast<std::int16_t>(le16(v));
            return ReadResult::Ok;
        case kVtBool:
            if (room < 2) return ReadResult::Corrupt;
            out.integer = le16(v);
            return ReadResult::Ok;
        case kVtI4:
            if (room < 4) return ReadResult::Corrupt;
            out.integer = static_cast<std::int32_t>(le32(v));
            return ReadResult::Ok;
        case kVtR4: {
            if (room < 4) return ReadResult::Corrupt;
            const std::uint32_t bits = le32(v);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            out.real = f;
            return ReadResult::Ok;
        }
        case kVtR8: {
            if (room < 8) return ReadResult::Corrupt;
            const std::uint64_t bits = le64(v);
            std::memcpy(&out.real, &bits, sizeof out.real);
            return ReadResult::Ok;
        }
        case kVtFiletime:
            if (room < 8) return ReadResult::Corrupt;
            out.filetime = le64(v);
            return ReadResult::Ok;
        case kVtLpstr:
        case kVtBstr: {
            if (room < 4) return ReadResult::Corrupt;
            const std::uint32_t bytes = le32(v);
            if (bytes > room - 4) return ReadResult::Corrupt;
            text8(offset + 8, bytes, out.type == kVtBstr, out);
            return ReadResult::Ok;
        }
        case kVtLpwstr: {
            if (room < 4) return ReadResult::Corrupt;
            const std::uint32_t units = le32(v);
            if (units > (room - 4) / 2) return ReadResult::Corrupt;
            out.isWide = true;
            for (std::uint32_t i = 0; i < units; ++i) {
                const char16_t c = static_cast<char16_t>(le16(v + 4 + 2 * i));
                if (c == 0) break;
                out.wide.push_back(c);
            }
            return ReadResult::Ok;
        }
        default:
            // Blobs, clipboard data, vectors, arrays and the rest are named by their type
            // word alone; their content is never looked at.
            return ReadResult::Ok;
    }
}

ReadResult Section::dictionary(std::vector<std::pair<std::uint32_t, std::u16string>>& out) const {
    out.clear();
    std::uint32_t offset;
    if (!offsetOf(kDictionaryId, offset)) return ReadResult::Absent;
    const std::size_t size = data_.size();
    if (offset > size || size - offset < 4) return ReadResult::Corrupt;
    std::size_t at = offset;
    const std::uint32_t count = le32(data_.data() + at);
    at += 4;
    // Each entry takes at least 8 bytes: a count that cannot fit is refused before reserving.
    if (count > (size - at) / 8) return ReadResult::Corrupt;
    out.reserve(count);
    const bool unicode = codePage_ == kCodePageUnicode;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 8) return ReadResult::Corrupt;
        const std::uint32_t id = le32(data_.data() + at);
        const std::uint32_t length = le32(data_.data() + at + 4);  // characters with the NUL
        at += 8;
        const std::uint64_t bytes = unicode ? std::uint64_t{length} * 2 : length;
        if (bytes > size - at) return ReadResult::Corrupt;
        const std::uint8_t* p = data_.data() + at;
        std::u16string name;
        if (unicode) {
            for (std::uint32_t u = 0; u < length; ++u) {
                const char16_t c = static_cast<char16_t>(le16(p + 2 * u));
                if (c == 0) break;
                name.push_back(c);
            }
        } else {
            decodeCodePage(codePage_, p, strnlen(reinterpret_cast<const char*>(p), bytes), name);
        }
        at += static_cast<std::size_t>(bytes);
        // 16-bit names are padded to a multiple of four bytes.
        if (unicode && bytes % 4) at += static_cast<std::size_t>(4 - bytes % 4);
        if (at > size) at = size;
        out.emplace_back(id, std::move(name));
    }
    return ReadResult::Ok;
}

bool openSet(cfb::CompoundFile& file, std::u16string_view streamName, const FormatId& id, PropertySet& set,
             Section& section) {
    const std::uint32_t stream = file.find(cfb::CompoundFile::rootId(), streamName);
    const cfb::Entry* e = file.entry(stream);
    if (!e || e->type != cfb::EntryType::Stream) return false;
    std::vector<std::uint8_t> bytes;
    if (!file.readStream(stream, bytes)) return false;
    return set.parse(std::move(bytes)) && set.section(id, section);
}

}  // namespace orvane::propset
