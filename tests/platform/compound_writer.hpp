// A writer of compound documents and property-set streams, for tests and benchmarks only:
// it makes what no application writes (a "Dgn-Md" root storage, 4096-byte sectors, every
// variant type, chains spread over the file) and tells where each structure landed, so
// that a test can break one byte of it on purpose.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testcfb {

constexpr std::uint32_t kFree = 0xFFFFFFFFu, kEnd = 0xFFFFFFFEu, kNone = 0xFFFFFFFFu;
using Chain = std::vector<std::uint32_t>;

// A little-endian integer of n bytes, into bytes or text.
template <class Bytes>
void put(Bytes& b, std::size_t at, std::uint64_t v, int n = 4) {
    for (int i = 0; i < n; ++i) b[at + i] = static_cast<typename Bytes::value_type>(v >> (8 * i));
}
inline std::string le(std::uint64_t v, int n) { std::string s(n, '\0'); return put(s, 0, v, n), s; }
inline std::string words(const Chain& v) { std::string s; for (auto w : v) s += le(w, 4); return s; }

class Writer {
public:
    // version 3: 512-byte sectors; version 4: 4096-byte sectors. Scattered, the chains of
    // different streams interleave sector by sector instead of lying in one run each.
    explicit Writer(unsigned version = 3, bool scatter = false) : ss(version == 4 ? 4096 : 512), scatter_(scatter) {}
    int storage(int parent, std::u16string name) { return add(parent, std::move(name), 1, {}); }
    int stream(int parent, std::u16string name, std::string data) { return add(parent, std::move(name), 2, std::move(data)); }

    std::vector<std::uint8_t> build() {
        const std::size_t n = e_.size(), per = ss / 4;
        // Small streams go to mini sectors, the rest to regular ones; the mini stream, the
        // mini FAT, the directory and then the FAT and DIFAT follow.
        std::vector<int> small, large;
        for (std::size_t i = 1; i < n; ++i)
            if (e_[i].type == 2) (e_[i].data.size() < 4096 ? small : large).push_back(static_cast<int>(i));
        std::vector<Chain> mini(n);
        chains.assign(n, {});
        std::uint32_t miniCount = 0, count = 0;
        allocate(small, 64, mini, miniCount);
        allocate(large, ss, chains, count);
        std::string miniStream(std::size_t{miniCount} * 64, '\0');
        Chain miniFat(sectors(4 * miniCount) * per, kFree);
        for (int i : small) spread(miniStream, 0, 64, e_[i].data, mini[i]), link(miniFat, mini[i]);
        miniChain = run(count, sectors(miniStream.size()));
        const Chain miniFatChain = run(count, sectors(4 * miniCount));
        dirChain = run(count, sectors(128 * n));
        std::uint32_t fats = 1, difats = 0;
        for (;; ++fats) {  // enough FAT sectors for every sector, themselves and the DIFAT included
            difats = fats > 109 ? (fats - 109 + per - 2) / (per - 1) : 0;
            if (std::uint64_t{fats} * per >= std::uint64_t{count} + fats + difats) break;
        }
        fatChain = run(count, fats);
        difatChain = run(count, difats);
        Chain fat(fats * per, kFree), difat;
        link(fat, miniChain), link(fat, miniFatChain), link(fat, dirChain);
        for (const Chain& c : chains) link(fat, c);
        for (auto s : fatChain) fat[s] = 0xFFFFFFFDu;
        for (auto s : difatChain) fat[s] = 0xFFFFFFFCu;
        for (std::uint32_t d = 0; d < difats; ++d) {
            for (std::size_t k = 109 + d * (per - 1); k < 109 + (d + 1) * (per - 1); ++k) difat.push_back(k < fats ? fatChain[k] : kFree);
            difat.push_back(d + 1 < difats ? difatChain[d + 1] : kEnd);
        }

        std::string b(std::size_t{ss} * (count + 1), '\0'), dir(128 * n, '\0');
        b.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
        const std::uint64_t head[] = {0x3E, ss == 4096 ? 4u : 3u, 0xFFFE, ss == 4096 ? 12u : 9u, 6};
        for (int i = 0; i < 5; ++i) put(b, 24 + 2 * i, head[i], 2);
        const std::uint64_t counts[] = {ss == 4096 ? dirChain.size() : 0, fats, dirChain[0], 0, 4096, first(miniFatChain),
                                        miniFatChain.size(), first(difatChain), difats};
        for (int i = 0; i < 9; ++i) put(b, 40 + 4 * i, counts[i]);
        for (std::uint32_t i = 0; i < 109; ++i) put(b, 76 + 4 * i, i < fats ? fatChain[i] : kFree);
        // Each storage's children in the format's order (shorter names first, then by upper-
        // cased units), as a tree that leans right all the way: a reader must walk it without
        // recursion.
        for (Entry& e : e_) {
            std::sort(e.kids.begin(), e.kids.end(), [&](int x, int y) { return less(e_[x].name, e_[y].name); });
            for (std::size_t k = 0; k < e.kids.size(); ++k) (k ? e_[e.kids[k - 1]].right : e.child) = e.kids[k];
        }
        for (std::size_t i = 0; i < n; ++i) {
            const Entry& e = e_[i];
            const std::size_t at = i * 128, units = std::min<std::size_t>(e.name.size(), 31);
            for (std::size_t c = 0; c < units; ++c) put(dir, at + 2 * c, e.name[c], 2);
            put(dir, at + 64, 2 * (units + 1), 2);
            dir[at + 66] = static_cast<char>(e.type);
            dir[at + 67] = 1;
            put(dir, at + 68, kNone), put(dir, at + 72, e.right), put(dir, at + 76, e.child);  // left, right, child
            const Chain& own = i == 0 ? miniChain : e.data.size() < 4096 ? mini[i] : chains[i];
            put(dir, at + 116, e.type == 1 ? 0 : first(own));
            put(dir, at + 120, i == 0 ? miniStream.size() : e.data.size(), 8);
        }
        for (int i : large) spread(b, ss, ss, e_[i].data, chains[i]);
        for (const auto& [data, chain] : {std::pair<std::string, const Chain*>{words(fat), &fatChain}, {words(difat), &difatChain},
                                          {words(miniFat), &miniFatChain}, {miniStream, &miniChain}, {dir, &dirChain}})
            spread(b, ss, ss, data, *chain);
        return {b.begin(), b.end()};
    }

    // Where things are in the last build.
    std::size_t offset(std::uint32_t sector) const { return std::size_t{ss} * (sector + 1); }
    std::size_t fatEntryOffset(std::uint32_t s) const { return offset(fatChain[s / (ss / 4)]) + 4 * (s % (ss / 4)); }
    std::size_t dirEntryOffset(int id) const { return offset(dirChain[id / (ss / 128)]) + 128 * (id % (ss / 128)); }
    unsigned ss;
    std::vector<Chain> chains;  // of the streams in regular sectors, by entry
    Chain fatChain, difatChain, dirChain, miniChain;  // miniChain: of the mini stream
    std::uint32_t child(int id) const { return e_[id].child; }

private:
    struct Entry {
        std::u16string name;
        std::uint8_t type;
        std::string data;
        std::vector<int> kids;
        std::uint32_t right = kNone, child = kNone;
    };

    int add(int parent, std::u16string name, std::uint8_t type, std::string data) {
        e_.push_back({std::move(name), type, std::move(data), {}});
        e_[parent].kids.push_back(static_cast<int>(e_.size() - 1));
        return static_cast<int>(e_.size() - 1);
    }
    static bool less(std::u16string a, std::u16string b) {
        for (auto* s : {&a, &b})
            for (auto& c : *s) c -= (c >= u'a' && c <= u'z') ? 32 : 0;
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    }
    // Gives each stream its sectors of `unit` bytes: one run each, or (scattered) one sector
    // per stream in turn.
    void allocate(const std::vector<int>& ids, std::size_t unit, std::vector<Chain>& out, std::uint32_t& next) {
        const auto wants = [&](int i) { return out[i].size() * unit < e_[i].data.size(); };
        for (bool more = true; more;) {
            more = false;
            for (int i : ids)
                for (int k = 0; wants(i) && (k == 0 || !scatter_); ++k) out[i].push_back(next++), more = true;
        }
    }
    std::uint32_t sectors(std::size_t bytes) const { return static_cast<std::uint32_t>((bytes + ss - 1) / ss); }
    static Chain run(std::uint32_t& next, std::uint32_t count) { Chain v(count); for (auto& s : v) s = next++; return v; }
    static std::uint32_t first(const Chain& c) { return c.empty() ? kEnd : c[0]; }
    static void link(Chain& table, const Chain& c) {
        for (std::size_t k = 0; k < c.size(); ++k) table[c[k]] = k + 1 < c.size() ? c[k + 1] : kEnd;
    }
    // Copies `data` into the units of `chain`: unit u starts at base + u * unit.
    static void spread(std::string& to, std::size_t base, std::size_t unit, const std::string& data, const Chain& chain) {
        for (std::size_t k = 0; k < chain.size() && k * unit < data.size(); ++k)
            to.replace(base + chain[k] * unit, std::min(unit, data.size() - k * unit), data, k * unit, unit);
    }

    bool scatter_;
    std::vector<Entry> e_{{u"Root Entry", 5, {}, {}}};
};

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ---- property sets: typed values as stored (type word, padding, value, padded to four) ----

inline std::string pad4(std::string s) { return s.resize((s.size() + 3) / 4 * 4, '\0'), s; }
inline std::string typed(std::uint16_t type, const std::string& payload) { return pad4(le(type, 4) + payload); }
// A number of `n` bytes (a float or double by its bits).
inline std::string vtNumber(std::uint16_t type, std::uint64_t bits, int n) { return typed(type, le(bits, n)); }
inline std::string vtI2(int v) { return vtNumber(2, static_cast<std::uint16_t>(v), 2); }
inline std::string vtI4(int v) { return vtNumber(3, static_cast<std::uint32_t>(v), 4); }
inline std::string vtR8(double v) { return vtNumber(5, std::bit_cast<std::uint64_t>(v), 8); }
inline std::string vtFiletime(std::uint64_t ticks) { return vtNumber(64, ticks, 8); }
// Counted strings with a NUL added: 8-bit, or 16-bit units counted as units or as bytes.
inline std::string str8(const std::string& b) { return le(b.size() + 1, 4) + b + '\0'; }
inline std::string str16(const std::u16string& t, bool countBytes) {
    std::string s = le((t.size() + 1) * (countBytes ? 2 : 1), 4);
    for (char16_t c : t) s += le(c, 2);
    return s + le(0, 2);
}
inline std::string vtString8(std::uint16_t type, const std::string& b) { return typed(type, str8(b)); }
// An 8-bit string type in a code page 1200 set: 16-bit units, the size in bytes.
inline std::string vtString16(std::uint16_t type, const std::u16string& t) { return typed(type, str16(t, true)); }
inline std::string vtLpwstr(const std::u16string& t) { return typed(31, str16(t, false)); }

struct Section {
    std::string fmtid;
    std::vector<std::pair<std::uint32_t, std::string>> properties;  // id, stored bytes
    Section& add(std::uint32_t id, std::string bytes) { return properties.emplace_back(id, std::move(bytes)), *this; }
    Section& codePage(std::uint16_t cp) { return add(1, vtI2(cp)); }
    // Dictionary (property 0): names in the set's code page, or (names16) 16-bit and padded
    // to four bytes each, as in a code page 1200 set.
    Section& dictionary(const std::vector<std::pair<std::uint32_t, std::string>>& names,
                        const std::vector<std::pair<std::uint32_t, std::u16string>>& names16 = {}) {
        std::string d = le(names.size() + names16.size(), 4);
        for (const auto& [id, name] : names) d += le(id, 4) + str8(name);
        for (const auto& [id, name] : names16) d += pad4(le(id, 4) + str16(name, false));
        return add(0, pad4(d));
    }
    std::string bytes() const {
        std::string head, body;
        for (const auto& [id, value] : properties) {
            head += le(id, 4) + le(8 + 8 * properties.size() + body.size(), 4);
            body += value;
        }
        return le(8 + head.size() + body.size(), 4) + le(properties.size(), 4) + head + body;
    }
};

inline const std::string kSummaryId("\xE0\x85\x9F\xF2\xF9\x4F\x68\x10\xAB\x91\x08\x00\x2B\x27\xB3\xD9", 16);
inline const std::string kDocSummaryId("\x02\xD5\xCD\xD5\x9C\x2E\x1B\x10\x93\x97\x08\x00\x2B\x2C\xF9\xAE", 16);
inline const std::string kUserDefinedId("\x05\xD5\xCD\xD5\x9C\x2E\x1B\x10\x93\x97\x08\x00\x2B\x2C\xF9\xAE", 16);
inline Section section(const std::string& fmtid) { return Section{fmtid, {}}; }

// A property-set stream of the given sections.
inline std::string propertyStream(const std::vector<Section>& sections) {
    std::string head = le(0xFFFE, 4) + le(0x00020006, 4) + std::string(16, '\0') + le(sections.size(), 4), body;
    for (const auto& sec : sections) {
        head += sec.fmtid + le(28 + 20 * sections.size() + body.size(), 4);
        body += sec.bytes();
    }
    return head + body;
}

inline const char16_t kSummaryName[] = u"\u0005SummaryInformation";
inline const char16_t kDocSummaryName[] = u"\u0005DocumentSummaryInformation";

}  // namespace testcfb
