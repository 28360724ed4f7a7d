// A writer of compound documents and property-set streams, for tests and benchmarks only:
// it makes what no application writes (a "Dgn-Md" root storage, 4096-byte sectors, every
// variant type, chains spread over the file) and tells where each structure landed, so
// that a test can break one byte of it on purpose.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace testcfb {

constexpr std::uint32_t kFree = 0xFFFFFFFFu, kEnd = 0xFFFFFFFEu, kFatSect = 0xFFFFFFFDu, kDifSect = 0xFFFFFFFCu;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

inline void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put64(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v) {
    put32(b, at, static_cast<std::uint32_t>(v));
    put32(b, at + 4, static_cast<std::uint32_t>(v >> 32));
}

class Writer {
public:
    // version 3: 512-byte sectors; version 4: 4096-byte sectors.
    explicit Writer(unsigned version = 3) : version_(version), ss_(version == 4 ? 4096u : 512u) {
        entries_.push_back({u"Root Entry", 5, kNone, {}, {}});
    }
    // Chains of different streams interleave sector by sector instead of lying in one run.
    void scatter(bool on) { scatter_ = on; }

    int storage(int parent, std::u16string name) { return add(parent, std::move(name), 1, {}); }
    int stream(int parent, std::u16string name, std::string data) { return add(parent, std::move(name), 2, std::move(data)); }

    std::vector<std::uint8_t> build() {
        const std::size_t n = entries_.size();
        // Mini sectors for small streams, then regular sectors for large ones.
        std::vector<std::vector<std::uint32_t>> miniChains(n), chains(n);
        std::vector<int> small, large;
        for (std::size_t i = 1; i < n; ++i)
            if (entries_[i].type == 2) (entries_[i].data.size() < 4096 ? small : large).push_back(static_cast<int>(i));
        std::uint32_t miniCount = 0;
        allocate(small, 64, miniChains, miniCount);
        std::string mini(std::size_t{miniCount} * 64, '\0');
        for (int i : small)
            for (std::size_t k = 0; k < miniChains[i].size(); ++k) {
                const std::string& d = entries_[i].data;
                const std::size_t from = k * 64;
                std::memcpy(&mini[std::size_t{miniChains[i][k]} * 64], d.data() + from, std::min<std::size_t>(64, d.size() - from));
            }
        std::uint32_t count = 0;
        allocate(large, ss_, chains, count);
        // The mini stream, the mini FAT and the directory follow the large streams.
        const std::uint32_t miniSectors = static_cast<std::uint32_t>((mini.size() + ss_ - 1) / ss_);
        std::vector<std::uint32_t> miniStreamChain = run(count, miniSectors);
        std::vector<std::uint32_t> miniFat(miniCount, kFree);
        for (int i : small) link(miniFat, miniChains[i]);
        const std::uint32_t per = ss_ / 4;
        const std::uint32_t miniFatSectors = (miniCount + per - 1) / per;
        std::vector<std::uint32_t> miniFatChain = run(count, miniFatSectors);
        const std::uint32_t dirSectors = static_cast<std::uint32_t>((n * 128 + ss_ - 1) / ss_);
        std::vector<std::uint32_t> dirChain = run(count, dirSectors);
        // FAT and DIFAT sectors cover every sector including themselves.
        std::uint32_t fatSectors = 1, difatSectors = 0;
        for (;;) {
            difatSectors = fatSectors > 109 ? (fatSectors - 109 + per - 2) / (per - 1) : 0;
            if (std::uint64_t{fatSectors} * per >= std::uint64_t{count} + fatSectors + difatSectors) break;
            ++fatSectors;
        }
        std::vector<std::uint32_t> fatChain = run(count, fatSectors);
        std::vector<std::uint32_t> difatChain = run(count, difatSectors);
        fat_.assign(std::size_t{fatSectors} * per, kFree);
        for (std::size_t i = 1; i < n; ++i) link(fat_, chains[i]);
        link(fat_, miniStreamChain);
        link(fat_, miniFatChain);
        link(fat_, dirChain);
        for (auto s : fatChain) fat_[s] = kFatSect;
        for (auto s : difatChain) fat_[s] = kDifSect;

        bytes_.assign(std::size_t{ss_} * (count + 1), 0);
        // Header.
        const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
        std::memcpy(bytes_.data(), sig, 8);
        put16(bytes_, 24, 0x3E);
        put16(bytes_, 26, static_cast<std::uint16_t>(version_));
        put16(bytes_, 28, 0xFFFE);
        put16(bytes_, 30, version_ == 4 ? 12 : 9);
        put16(bytes_, 32, 6);
        put32(bytes_, 40, version_ == 4 ? dirSectors : 0);
        put32(bytes_, 44, fatSectors);
        put32(bytes_, 48, dirChain[0]);
        put32(bytes_, 56, 4096);
        put32(bytes_, 60, miniFatChain.empty() ? kEnd : miniFatChain[0]);
        put32(bytes_, 64, miniFatSectors);
        put32(bytes_, 68, difatChain.empty() ? kEnd : difatChain[0]);
        put32(bytes_, 72, difatSectors);
        for (std::uint32_t i = 0; i < 109; ++i) put32(bytes_, 76 + 4 * i, i < fatSectors ? fatChain[i] : kFree);
        for (std::uint32_t d = 0; d < difatSectors; ++d) {
            const std::size_t at = offset(difatChain[d]);
            for (std::uint32_t k = 0; k + 1 < per; ++k) {
                const std::uint32_t idx = 109 + d * (per - 1) + k;
                put32(bytes_, at + 4 * k, idx < fatSectors ? fatChain[idx] : kFree);
            }
            put32(bytes_, at + 4 * (per - 1), d + 1 < difatSectors ? difatChain[d + 1] : kEnd);
        }
        for (std::uint32_t f = 0; f < fatSectors; ++f)
            for (std::uint32_t k = 0; k < per; ++k) put32(bytes_, offset(fatChain[f]) + 4 * k, fat_[f * per + k]);
        for (std::uint32_t f = 0; f < miniFatSectors; ++f)
            for (std::uint32_t k = 0; k < per; ++k) {
                const std::uint32_t idx = f * per + k;
                put32(bytes_, offset(miniFatChain[f]) + 4 * k, idx < miniCount ? miniFat[idx] : kFree);
            }
        for (std::size_t k = 0; k < miniStreamChain.size(); ++k)
            std::memcpy(&bytes_[offset(miniStreamChain[k])], mini.data() + k * ss_, std::min<std::size_t>(ss_, mini.size() - k * ss_));
        for (int i : large)
            for (std::size_t k = 0; k < chains[i].size(); ++k) {
                const std::string& d = entries_[i].data;
                std::memcpy(&bytes_[offset(chains[i][k])], d.data() + k * ss_, std::min<std::size_t>(ss_, d.size() - k * ss_));
            }
        // Directory: each storage's children as a balanced tree in the format's order.
        std::vector<std::uint8_t> dir(std::size_t{dirSectors} * ss_, 0);
        for (std::size_t k = n; k < dir.size() / 128; ++k) {
            put32(dir, k * 128 + 68, kNone);
            put32(dir, k * 128 + 72, kNone);
            put32(dir, k * 128 + 76, kNone);
        }
        for (auto& e : entries_) e.left = e.right = e.child = kNone;
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<int> kids = entries_[i].kids;
            std::sort(kids.begin(), kids.end(), [&](int a, int b) { return less(entries_[a].name, entries_[b].name); });
            entries_[i].child = tree(kids, 0, kids.size());
        }
        for (std::size_t i = 0; i < n; ++i) {
            const Entry& e = entries_[i];
            const std::size_t at = i * 128;
            for (std::size_t c = 0; c < e.name.size() && c < 31; ++c) put16(dir, at + 2 * c, e.name[c]);
            put16(dir, at + 64, static_cast<std::uint16_t>(2 * (std::min<std::size_t>(e.name.size(), 31) + 1)));
            dir[at + 66] = e.type;
            dir[at + 67] = 1;
            put32(dir, at + 68, e.left);
            put32(dir, at + 72, e.right);
            put32(dir, at + 76, e.child);
            std::uint32_t start = kEnd;
            std::uint64_t size = 0;
            if (i == 0) {
                start = miniStreamChain.empty() ? kEnd : miniStreamChain[0];
                size = mini.size();
            } else if (e.type == 2) {
                size = e.data.size();
                const auto& ch = size < 4096 ? miniChains[i] : chains[i];
                start = ch.empty() ? kEnd : ch[0];
            } else {
                start = 0;
            }
            put32(dir, at + 116, start);
            put64(dir, at + 120, size);
        }
        for (std::size_t k = 0; k < dirChain.size(); ++k) std::memcpy(&bytes_[offset(dirChain[k])], dir.data() + k * ss_, ss_);
        // Kept for tests that break things on purpose.
        chains_ = chains;
        miniChains_ = miniChains;
        dirChain_ = dirChain;
        difatChain_ = difatChain;
        fatChain_ = fatChain;
        return bytes_;
    }

    // Where things are in the last build.
    std::size_t offset(std::uint32_t sector) const { return std::size_t{ss_} * (sector + 1); }
    std::size_t fatEntryOffset(std::uint32_t sector) const {
        const std::uint32_t per = ss_ / 4;
        return offset(fatChain_[sector / per]) + 4 * (sector % per);
    }
    std::size_t dirEntryOffset(int id) const {
        const std::size_t perSector = ss_ / 128;
        return offset(dirChain_[id / perSector]) + 128 * (id % perSector);
    }
    const std::vector<std::uint32_t>& chainOf(int id) const { return chains_[id]; }
    const std::vector<std::uint32_t>& miniChainOf(int id) const { return miniChains_[id]; }
    const std::vector<std::uint32_t>& difatChain() const { return difatChain_; }
    unsigned sectorSize() const { return ss_; }

private:
    struct Entry {
        std::u16string name;
        std::uint8_t type;
        std::uint32_t left;
        std::vector<int> kids;
        std::string data;
        std::uint32_t right = kNone, child = kNone;
    };

    int add(int parent, std::u16string name, std::uint8_t type, std::string data) {
        entries_.push_back({std::move(name), type, kNone, {}, std::move(data)});
        const int id = static_cast<int>(entries_.size() - 1);
        entries_[parent].kids.push_back(id);
        return id;
    }

    static bool less(const std::u16string& a, const std::u16string& b) {
        if (a.size() != b.size()) return a.size() < b.size();
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto ua = (a[i] >= u'a' && a[i] <= u'z') ? a[i] - 32 : a[i];
            const auto ub = (b[i] >= u'a' && b[i] <= u'z') ? b[i] - 32 : b[i];
            if (ua != ub) return ua < ub;
        }
        return false;
    }

    std::uint32_t tree(const std::vector<int>& kids, std::size_t lo, std::size_t hi) {
        if (lo >= hi) return kNone;
        const std::size_t mid = (lo + hi) / 2;
        Entry& e = entries_[kids[mid]];
        e.left = tree(kids, lo, mid);
        e.right = tree(kids, mid + 1, hi);
        return static_cast<std::uint32_t>(kids[mid]);
    }

    // Gives each stream its sectors of `unit` bytes: one run each, or round-robin.
    void allocate(const std::vector<int>& ids, unsigned unit, std::vector<std::vector<std::uint32_t>>& out, std::uint32_t& next) {
        std::vector<std::size_t> need(entries_.size());
        for (int i : ids) need[i] = (entries_[i].data.size() + unit - 1) / unit;
        if (!scatter_) {
            for (int i : ids) out[i] = run(next, static_cast<std::uint32_t>(need[i]));
            return;
        }
        for (bool more = true; more;) {
            more = false;
            for (int i : ids)
                if (out[i].size() < need[i]) {
                    out[i].push_back(next++);
                    more = true;
                }
        }
    }
    static std::vector<std::uint32_t> run(std::uint32_t& next, std::uint32_t count) {
        std::vector<std::uint32_t> v(count);
        for (auto& s : v) s = next++;
        return v;
    }
    static void link(std::vector<std::uint32_t>& table, const std::vector<std::uint32_t>& chain) {
        for (std::size_t k = 0; k < chain.size(); ++k) table[chain[k]] = k + 1 < chain.size() ? chain[k + 1] : kEnd;
    }

    unsigned version_;
    unsigned ss_;
    bool scatter_ = false;
    std::vector<Entry> entries_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> fat_, fatChain_, difatChain_, dirChain_;
    std::vector<std::vector<std::uint32_t>> chains_, miniChains_;
};

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ---- property sets -------------------------------------------------------------------

inline void append16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
inline void append32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void append64(std::string& s, std::uint64_t v) {
    append32(s, static_cast<std::uint32_t>(v));
    append32(s, static_cast<std::uint32_t>(v >> 32));
}
inline void pad4(std::string& s) {
    while (s.size() % 4) s += '\0';
}

// Typed values as stored: type word, padding, value, padded to four bytes.
inline std::string typed(std::uint16_t type, const std::string& payload) {
    std::string s;
    append16(s, type);
    append16(s, 0);
    s += payload;
    pad4(s);
    return s;
}
inline std::string vtI2(std::int16_t v) {
    std::string p;
    append16(p, static_cast<std::uint16_t>(v));
    return typed(2, p);
}
inline std::string vtI4(std::int32_t v) {
    std::string p;
    append32(p, static_cast<std::uint32_t>(v));
    return typed(3, p);
}
inline std::string vtR4(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    std::string p;
    append32(p, bits);
    return typed(4, p);
}
inline std::string vtR8(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    std::string p;
    append64(p, bits);
    return typed(5, p);
}
inline std::string vtBool(bool v) {
    std::string p;
    append16(p, v ? 0xFFFF : 0);
    return typed(11, p);
}
inline std::string vtFiletime(std::uint64_t ticks) {
    std::string p;
    append64(p, ticks);
    return typed(64, p);
}
// 8-bit string (VT_LPSTR or VT_BSTR) of the stored bytes; a NUL is added.
inline std::string vtString8(std::uint16_t type, const std::string& bytes) {
    std::string p;
    append32(p, static_cast<std::uint32_t>(bytes.size() + 1));
    p += bytes;
    p += '\0';
    return typed(type, p);
}
// The same in a code page 1200 set: 16-bit units, the size in bytes.
inline std::string vtString16(std::uint16_t type, const std::u16string& text) {
    std::string p;
    append32(p, static_cast<std::uint32_t>(2 * (text.size() + 1)));
    for (char16_t c : text) append16(p, c);
    append16(p, 0);
    return typed(type, p);
}
inline std::string vtLpwstr(const std::u16string& text) {
    std::string p;
    append32(p, static_cast<std::uint32_t>(text.size() + 1));
    for (char16_t c : text) append16(p, c);
    append16(p, 0);
    return typed(31, p);
}
inline std::string vtBlob(const std::string& bytes) {
    std::string p;
    append32(p, static_cast<std::uint32_t>(bytes.size()));
    p += bytes;
    return typed(65, p);
}
// A vector of 8-bit strings, as "Titles of Parts" carries.
inline std::string vtVectorLpstr(const std::vector<std::string>& items) {
    std::string p;
    append32(p, static_cast<std::uint32_t>(items.size()));
    for (const auto& i : items) {
        append32(p, static_cast<std::uint32_t>(i.size() + 1));
        p += i;
        p += '\0';
        pad4(p);
    }
    return typed(0x101E, p);
}

struct Section {
    std::uint8_t fmtid[16];
    std::vector<std::pair<std::uint32_t, std::string>> properties;  // id, stored bytes
    Section& add(std::uint32_t id, std::string bytes) {
        properties.emplace_back(id, std::move(bytes));
        return *this;
    }
    Section& codePage(std::uint16_t cp) { return add(1, vtI2(static_cast<std::int16_t>(cp))); }
    // Dictionary (property 0): names in the set's code page, or 16-bit and padded for 1200.
    Section& dictionary(const std::vector<std::pair<std::uint32_t, std::string>>& names8) {
        std::string d;
        append32(d, static_cast<std::uint32_t>(names8.size()));
        for (const auto& [id, name] : names8) {
            append32(d, id);
            append32(d, static_cast<std::uint32_t>(name.size() + 1));
            d += name;
            d += '\0';
        }
        pad4(d);
        return add(0, d);
    }
    Section& dictionary16(const std::vector<std::pair<std::uint32_t, std::u16string>>& names) {
        std::string d;
        append32(d, static_cast<std::uint32_t>(names.size()));
        for (const auto& [id, name] : names) {
            append32(d, id);
            append32(d, static_cast<std::uint32_t>(name.size() + 1));
            for (char16_t c : name) append16(d, c);
            append16(d, 0);
            pad4(d);
        }
        return add(0, d);
    }
    std::string bytes() const {
        std::string head, body;
        const std::size_t tableEnd = 8 + 8 * properties.size();
        for (const auto& [id, value] : properties) {
            append32(head, id);
            append32(head, static_cast<std::uint32_t>(tableEnd + body.size()));
            body += value;
        }
        std::string s;
        append32(s, static_cast<std::uint32_t>(tableEnd + body.size()));
        append32(s, static_cast<std::uint32_t>(properties.size()));
        return s + head + body;
    }
};

inline constexpr std::uint8_t kSummaryId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                                0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
inline constexpr std::uint8_t kDocSummaryId[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                   0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
inline constexpr std::uint8_t kUserDefinedId[16] = {0x05, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                                    0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};

inline Section section(const std::uint8_t (&fmtid)[16]) {
    Section s{};
    std::memcpy(s.fmtid, fmtid, 16);
    return s;
}

// A property-set stream of the given sections.
inline std::string propertyStream(const std::vector<Section>& sections) {
    std::string s;
    append16(s, 0xFFFE);
    append16(s, 0);
    append32(s, 0x00020006);
    s.append(16, '\0');
    append32(s, static_cast<std::uint32_t>(sections.size()));
    std::size_t at = 28 + 20 * sections.size();
    std::vector<std::string> bodies;
    for (const auto& sec : sections) {
        s.append(reinterpret_cast<const char*>(sec.fmtid), 16);
        append32(s, static_cast<std::uint32_t>(at));
        bodies.push_back(sec.bytes());
        at += bodies.back().size();
    }
    for (const auto& b : bodies) s += b;
    return s;
}

inline const char16_t kSummaryName[] = u"\u0005SummaryInformation";
inline const char16_t kDocSummaryName[] = u"\u0005DocumentSummaryInformation";

}  // namespace testcfb
