// The wildcard matcher and the level-1 search, expansion and rewriting built on it.
//
// The matching rules are those of a backtracking walk over the pattern, where '*' tries
// every split of the text and a level-3 alternative class commits to the first
// alternative that fits. Tried naively that costs time exponential in the number of
// stars, so the walk here remembers, per pattern position that a '*' or '|' hands
// over to, which text positions match from there (and whether any later one does).
// Alternatives never hold a comma and so never nest further alternatives: each one is
// a plain regular pattern, run as a position-set automaton over the text, which finds
// every length it matches in one pass.
#include "strings/wildcard.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>
#include <cwctype>

#include "frame/boundary.hpp"
#include "frame/text.hpp"

namespace orvane {

namespace {

// A class's content is looked at up to this many characters, and an alternative with
// '*' or '|' is tried against at most this many text characters.
constexpr std::size_t kClassLimit = 255;

// Deepest chain of '*' and '|' hand-overs followed before the match gives up (answers
// 0), so that a hostile pattern cannot exhaust the caller's stack.
constexpr int kMaxDepth = 1000;

struct TooDeep {};

template <class C>
bool isAlnum(C c) noexcept {
    if constexpr (sizeof(C) == 1) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0;
    } else {
        return std::iswalnum(static_cast<std::wint_t>(code(c))) != 0;
    }
}

template <class C>
struct Rules {
    bool caseSensitive;

    bool same(C p, C t) const noexcept { return caseSensitive ? p == t : upper(p) == upper(t); }

    bool inRange(C a, C b, C c) const noexcept {
        long lo, hi, x;
        if (caseSensitive) {
            if constexpr (sizeof(C) == 1) {
                // Bytes rank as signed codes here: 128 to 255 sort below 0.
                lo = static_cast<signed char>(a);
                hi = static_cast<signed char>(b);
                x = static_cast<signed char>(c);
            } else {
                lo = code(a);
                hi = code(b);
                x = code(c);
            }
        } else {
            lo = code(upper(a));
            hi = code(upper(b));
            x = code(upper(c));
        }
        if (lo > hi) std::swap(lo, hi);
        return lo <= x && x <= hi;
    }

    // Members and "x-y" ranges; a range uses up its three characters.
    bool inSet(const C* set, std::size_t n, C c) const noexcept {
        for (std::size_t k = 0; k < n;) {
            if (k + 2 < n && set[k + 1] == C('-')) {
                if (inRange(set[k], set[k + 2], c)) return true;
                k += 3;
            } else {
                if (same(set[k], c)) return true;
                ++k;
            }
        }
        return false;
    }
};

enum class Kind : std::uint8_t { Literal, AlnumAny, Class, AnyOne, Star, Bar, Alternatives };

struct Element {
    Kind kind = Kind::Literal;
    bool negated = false;
    std::size_t next = 0;      // pattern position after the element
    std::size_t content = 0;   // class content: start and (cut) length
    std::size_t contentLength = 0;
};

// Pattern elements at every position, with brackets paired in one pass (the "]" that
// balances a "[" is the one a stack pairs it with).
template <class C>
class Parsed {
public:
    Parsed(const C* p, std::size_t n, int level) : p_(p), n_(n), level_(level), close_(n, SIZE_MAX) {
        if (level_ >= 2) {
            std::vector<std::size_t> open;
            for (std::size_t i = 0; i < n; ++i) {
                if (p[i] == C('[')) {
                    open.push_back(i);
                } else if (p[i] == C(']') && !open.empty()) {
                    close_[open.back()] = i;
                    open.pop_back();
                }
            }
        }
        elements_.resize(n);
        for (std::size_t i = 0; i < n; ++i) elements_[i] = parse(i);
    }

    const Element& at(std::size_t i) const noexcept { return elements_[i]; }

private:
    Element parse(std::size_t i) const noexcept {
        Element e;
        e.next = i + 1;
        if (level_ < 1) return e;
        const C c = p_[i];
        if (c == C('?')) {
            e.kind = Kind::AlnumAny;
        } else if (c == C('*')) {
            e.kind = Kind::Star;
        } else if (c == C('|') && level_ >= 3) {
            e.kind = Kind::Bar;
        } else if (c == C('[') && level_ >= 2) {
            std::size_t k = i + 1;
            if (k < n_ && p_[k] == C('^')) {
                e.negated = true;
                ++k;
            }
            if (close_[i] == SIZE_MAX) {
                // Unbalanced: "[" and the character after it take any one character.
                e.kind = Kind::AnyOne;
                e.next = std::min(k + 1, n_);
                return e;
            }
            e.content = k;
            e.contentLength = std::min(close_[i] - k, kClassLimit);
            e.next = close_[i] + 1;
            e.kind = Kind::Class;
            if (level_ >= 3) {
                for (std::size_t q = 1; q < e.contentLength; ++q)
                    if (p_[k + q] == C(',')) {
                        e.kind = Kind::Alternatives;
                        break;
                    }
            }
        }
        return e;
    }

    const C* p_;
    std::size_t n_;
    int level_;
    std::vector<std::size_t> close_;
    std::vector<Element> elements_;
};

// A set of up to 256 automaton states (element indexes of one alternative).
struct States {
    std::uint64_t w[4] = {0, 0, 0, 0};

    bool test(std::size_t k) const noexcept { return (w[k >> 6] >> (k & 63)) & 1u; }
    void set(std::size_t k) noexcept { w[k >> 6] |= std::uint64_t{1} << (k & 63); }
    bool any() const noexcept { return (w[0] | w[1] | w[2] | w[3]) != 0; }
    States operator&(const States& o) const noexcept {
        States r;
        for (int k = 0; k < 4; ++k) r.w[k] = w[k] & o.w[k];
        return r;
    }
    States operator|(const States& o) const noexcept {
        States r;
        for (int k = 0; k < 4; ++k) r.w[k] = w[k] | o.w[k];
        return r;
    }
    States next() const noexcept {  // every state k to k + 1
        States r;
        for (int k = 3; k > 0; --k) r.w[k] = (w[k] << 1) | (w[k - 1] >> 63);
        r.w[0] = w[0] << 1;
        return r;
    }
};

// One alternative, compiled once per class: its elements in order, so that state k is
// "before element k" and state E (the element count) accepts. Alternatives hold no
// comma, so their only elements are the single-character ones, '*' and '|', and the
// state set after each text character is found with a few word operations.
template <class C>
class Alternative {
public:
    Alternative(const C* alt, std::size_t an, const Rules<C>& rules) : alt_(alt), length_(an), rules_(rules) {
        const Parsed<C> parsed(alt, an, 3);
        open_ = false;
        for (std::size_t q = 0; q < an; q = parsed.at(q).next) {
            elements_.push_back(parsed.at(q));  // class contents stay offsets into `alt`
            starts_.push_back(q);
        }
        for (std::size_t q = 0; q < an; ++q)
            if (alt[q] == C('*') || alt[q] == C('|')) open_ = true;
        endsInStar_ = an > 0 && alt[an - 1] == C('*');
        const std::size_t n = elements_.size();
        bool tailOpen = true;  // elements from k to the end are all '*' or '|'
        for (std::size_t k = n; k-- > 0;) {
            const Kind kind = elements_[k].kind;
            if (kind == Kind::Star || kind == Kind::Bar) {
                epsilon_.set(k);
                if (kind == Kind::Star) {
                    star_.set(k);
                    if (tailOpen) always_.set(k);
                }
            } else {
                tailOpen = false;
            }
        }
        for (std::size_t k = 0; k < 4; ++k) blockers_.w[k] = ~epsilon_.w[k];
        start_.set(0);
        start_ = closed(start_);
    }

    std::size_t length() const noexcept { return length_; }
    bool open() const noexcept { return open_; }
    bool endsInStar() const noexcept { return endsInStar_; }

    // The longest L in [1, most] (or, for an alternative without '*' and '|', exactly
    // L = most) for which the alternative matches the first L characters of `t`; 0 if none.
    std::size_t longest(const C* t, std::size_t most) {
        const std::size_t E = elements_.size();
        States s = start_;
        std::size_t best = 0;
        for (std::size_t L = 0; L < most; ++L) {
            s = closed((s & accepting(t[L])).next() | (s & star_));
            if (!s.any()) return open_ ? best : 0;
            if (open_ && (s & always_).any()) return most;  // a final run of '*' takes everything
            if (s.test(E)) best = L + 1;
        }
        return open_ || best == most ? best : 0;
    }

    // The same answer from a table over every start of the text, filled on first use in
    // one pass once the class has been tried at enough positions to pay for it.
    std::size_t longestFrom(const C* t, std::size_t tn, std::size_t j, int tableAfter) {
        if (table_.empty() && calls_++ < tableAfter) {
            const std::size_t most = std::min(tn - j, open_ ? kClassLimit : length_);
            return longest(t + j, most);
        }
        if (table_.empty()) fillTable(t, tn);
        const std::size_t L = table_[j];
        if (open_) return L;
        return L == elements_.size() && L == std::min(length_, tn - j) ? L : 0;
    }

private:
    // states[k] holds, as bit d, the starts e - d (d up to the class limit) from which
    // the text read so far leaves the alternative before element k.
    void fillTable(const C* t, std::size_t tn) {
        const std::size_t E = elements_.size();
        table_.assign(tn + 1, 0);
        std::vector<States> states(E + 1), next(E + 1);
        auto close = [&](std::vector<States>& d) {
            for (std::size_t k = 0; k < E; ++k)
                if (epsilon_.test(k)) d[k + 1] = d[k + 1] | d[k];
        };
        states[0].set(0);
        close(states);
        for (std::size_t e = 0;; ++e) {
            const States& done = states[E];
            if (done.any()) {
                for (std::size_t d = open_ ? 1 : E; d <= std::min(e, kClassLimit); ++d) {
                    if (!done.test(d)) continue;
                    table_[e - d] = static_cast<std::uint16_t>(d);  // later ends are longer
                    if (!open_) break;
                }
            }
            if (e == tn) break;
            const States take = accepting(t[e]);
            for (States& d : next) d = States{};
            for (std::size_t k = 0; k < E; ++k) {
                if (!states[k].any()) continue;
                const States moved = states[k].next();
                if (take.test(k)) next[k + 1] = next[k + 1] | moved;
                if (star_.test(k)) next[k] = next[k] | moved;
            }
            next[0].set(0);
            close(next);
            states.swap(next);
        }
    }

    // Adds what '*' and '|' reach without a character: each run of such elements is
    // filled from its first reached state up to the state after the run (a borrow runs
    // through the run's bits in a subtraction).
    States closed(States s) const noexcept {
        const States y = s & epsilon_;
        States f;
        std::uint64_t borrow = 0;
        for (int k = 0; k < 4; ++k) {
            const std::uint64_t o = blockers_.w[k], d = o - y.w[k] - borrow;
            borrow = (o < y.w[k] || (o == y.w[k] && borrow)) ? 1 : 0;
            f.w[k] = (d ^ o) | y.w[k];
        }
        return s | f;
    }

    bool consumes(const Element& e, std::size_t k, C c) const noexcept {
        switch (e.kind) {
            case Kind::Literal: return rules_.same(alt_[starts_[k]], c);
            case Kind::AlnumAny: return isAlnum(c);
            case Kind::Class: return rules_.inSet(alt_ + e.content, e.contentLength, c) != e.negated;
            case Kind::AnyOne:
            case Kind::Bar: return true;
            default: return false;
        }
    }

    States accepting(C c) {
        const unsigned v = code(c);
        if (v < 256 && known_.test(v)) return byCode_[v];
        States m;
        for (std::size_t k = 0; k < elements_.size(); ++k)
            if (consumes(elements_[k], k, c)) m.set(k);
        if (v < 256) {
            known_.set(v);
            byCode_[v] = m;
        }
        return m;
    }

    const C* alt_;
    std::size_t length_;
    Rules<C> rules_;
    std::vector<Element> elements_;
    std::vector<std::size_t> starts_;
    States epsilon_, star_, always_, blockers_, start_, known_;
    States byCode_[256];
    bool open_ = false, endsInStar_ = false;
    int calls_ = 0;
    std::vector<std::uint16_t> table_;  // per start: the length taken (0: none)
};

template <class C>
class Matcher {
public:
    Matcher(const C* p, std::size_t pn, const C* t, std::size_t tn, int level, bool caseSensitive, bool barShortcut,
            int tableAfter)
        : parsed_(p, pn, level), p_(p), pn_(pn), t_(t), tn_(tn), rules_{level == 0 || caseSensitive},
          barShortcut_(barShortcut), tableAfter_(tableAfter), rows_(pn + 1), compiled_(pn),
          barRunEnd_(barShortcut ? pn : 0) {
        if (barShortcut)
            for (std::size_t i = pn; i-- > 0;)
                barRunEnd_[i] = p[i] == C('|') ? (i + 1 < pn ? barRunEnd_[i + 1] : pn) : i;
    }

    bool run() { return walk(0, 0, 0); }

private:
    enum : std::uint8_t { kKnown = 1, kMatch = 2, kAnyKnown = 4, kAny = 8 };

    std::uint8_t* row(std::size_t r) {
        if (!rows_[r]) rows_[r] = std::make_unique<std::uint8_t[]>(tn_ + 1);  // zeroed
        return rows_[r].get();
    }

    // Does the pattern from r match the text from j? Remembered.
    bool matchFrom(std::size_t r, std::size_t j, int depth) {
        if (!(row(r)[j] & kKnown)) {
            const bool m = walk(r, j, depth + 1);
            row(r)[j] |= static_cast<std::uint8_t>(kKnown | (m ? kMatch : 0));
        }
        return row(r)[j] & kMatch;
    }

    // Does the pattern from r match the text from some position j or later? Remembered
    // for the whole run of positions it had to look at.
    bool matchFromAny(std::size_t r, std::size_t j, int depth) {
        std::size_t k = j;
        bool found = false;
        for (; k <= tn_; ++k) {
            const std::uint8_t cell = row(r)[k];
            if (cell & kAnyKnown) {
                found = cell & kAny;
                break;
            }
            if (matchFrom(r, k, depth)) {
                found = true;
                break;
            }
        }
        std::uint8_t* cells = row(r);
        const std::uint8_t mark = static_cast<std::uint8_t>(kAnyKnown | (found ? kAny : 0));
        for (std::size_t q = j; q <= std::min(k, tn_); ++q) cells[q] |= mark;
        return found;
    }

    // The walk from pattern position i and text position j, as a fresh match would.
    bool walk(std::size_t i, std::size_t j, int depth) {
        if (depth > kMaxDepth) throw TooDeep{};
        for (;;) {
            if (i >= pn_) return j == tn_;
            const Element& e = parsed_.at(i);
            switch (e.kind) {
                case Kind::Literal:
                    if (j >= tn_ || !rules_.same(p_[i], t_[j])) return false;
                    break;
                case Kind::AlnumAny:
                    if (j >= tn_ || !isAlnum(t_[j])) return false;
                    break;
                case Kind::Class:
                    if (j >= tn_ || rules_.inSet(p_ + e.content, e.contentLength, t_[j]) == e.negated) return false;
                    break;
                case Kind::AnyOne:
                    if (j >= tn_) return false;
                    break;
                case Kind::Star:
                    if (e.next >= pn_) return true;  // a final '*' takes whatever is left
                    return matchFromAny(e.next, j, depth);
                case Kind::Bar: {
                    if (e.next >= pn_) return tn_ - j <= 1;  // a final '|': zero or one character
                    // The plain form first rejects a run of two or more bars whose rest cannot
                    // match anywhere later; the answer is the same either way.
                    if (barShortcut_ && p_[i + 1] == C('|')) {
                        const std::size_t end = barRunEnd_[i];
                        if (end + 2 <= pn_ && !matchFromAny(end, j, depth)) return false;
                    }
                    if (matchFrom(e.next, j, depth)) return true;
                    if (j >= tn_) return false;
                    break;
                }
                case Kind::Alternatives: {
                    std::size_t taken = 0;
                    bool star = false;
                    if (!alternatives(i, e, j, taken, star)) {
                        if (!e.negated || j >= tn_) return false;
                        taken = 1;
                    }
                    j += taken;
                    i = e.next;
                    if (i >= pn_) return star || j == tn_;
                    continue;
                }
            }
            i = e.next;
            ++j;
        }
    }

    // The first alternative (in order) that fits the text at j: its matched length and
    // whether it ends in '*'.
    bool alternatives(std::size_t i, const Element& e, std::size_t j, std::size_t& taken, bool& star) {
        auto& list = compiled_[i];
        if (!list) {
            list = std::make_unique<std::vector<Alternative<C>>>();
            const C* content = p_ + e.content;
            for (std::size_t a = 0; a < e.contentLength;) {
                std::size_t b = a;
                while (b < e.contentLength && content[b] != C(',')) ++b;
                if (b > a) list->emplace_back(content + a, b - a, rules_);
                a = b + 1;
            }
        }
        for (Alternative<C>& alt : *list) {
            // Without '*' or '|' the alternative is held against as many characters as
            // it is long; otherwise the longest piece of up to the class limit wins.
            const std::size_t len = alt.longestFrom(t_, tn_, j, tableAfter_);
            if (len == 0) continue;
            taken = len;
            star = alt.endsInStar();
            return true;
        }
        return false;
    }

    Parsed<C> parsed_;
    const C* p_;
    std::size_t pn_;
    const C* t_;
    std::size_t tn_;
    Rules<C> rules_;
    bool barShortcut_;
    int tableAfter_;
    std::vector<std::unique_ptr<std::uint8_t[]>> rows_;
    std::vector<std::unique_ptr<std::vector<Alternative<C>>>> compiled_;
    std::vector<std::size_t> barRunEnd_;
};

template <class C>
int matchImpl(const C* pattern, const C* text, int level, int caseSensitive, bool barShortcut, int tableAfter) {
    if (!pattern || !text) return 0;
    if (level < 0) return *text == C(0) ? 1 : 0;
    const std::size_t pn = length(pattern), tn = length(text);
    if (pn >= (SIZE_MAX >> 8) || tn >= (SIZE_MAX >> 8)) throw std::bad_alloc();  // no table could hold them
    Matcher<C> m(pattern, pn, text, tn, std::min(level, 3), caseSensitive != 0, barShortcut, tableAfter);
    try {
        return m.run() ? 1 : 0;
    } catch (const TooDeep&) {
        return 0;
    }
}

// --- level-1 search, expansion and rewriting --------------------------------------------

bool isLevelOneWildcard(char c, int level) noexcept { return level == 1 && (c == '?' || c == '*'); }

const char* firstWildcard(const char* s, int level) noexcept {
    for (; *s; ++s)
        if (isLevelOneWildcard(*s, level)) return s;
    return nullptr;
}

// The pattern's literal prefix, its first wildcard and the literal infix after it.
struct Split {
    std::string prefix, infix;
    char wildcard = 0;
};

Split splitAtFirstWildcard(const char* pattern, int level) {
    Split s;
    const char* w = firstWildcard(pattern, level);
    if (!w) return s;
    s.prefix.assign(pattern, w);
    s.wildcard = *w;
    const char* after = w + 1;
    const char* next = firstWildcard(after, level);
    s.infix = next ? std::string(after, next) : std::string(after);
    return s;
}

const char* findWithWildcards(const char* text, const char* pattern, int level) {
    if (!text || !pattern) return nullptr;
    if (matchWildcards(pattern, text, level, 1, true)) return text;
    const Split s = splitAtFirstWildcard(pattern, level);
    if (!s.wildcard) return nullptr;
    const std::size_t tn = std::strlen(text);
    for (const char* at = std::strstr(text, s.prefix.c_str()); at; at = std::strstr(at + 1, s.prefix.c_str())) {
        const char* after = at + s.prefix.size();
        if (s.wildcard == '?') {
            if (*after && std::strncmp(after + 1, s.infix.c_str(), s.infix.size()) == 0) return at;
        } else if (std::strstr(after, s.infix.c_str())) {
            return at;
        }
        if (at >= text + tn) break;
    }
    return nullptr;
}

// What the first wildcard stands for, at most `limit` characters, into `dest`.
void expandFirst(char* dest, std::size_t limit, const char* pattern, const char* text, const char** textEnd,
                 int level) {
    dest[0] = '\0';
    const char* s = findWithWildcards(text, pattern, level);
    if (!s) return;
    const Split sp = splitAtFirstWildcard(pattern, level);
    const long available = static_cast<long>(std::strlen(s)) - static_cast<long>(sp.prefix.size());
    long k = 0;
    if (sp.wildcard == '?') {
        k = 1;
    } else if (sp.wildcard == '*') {
        k = available - static_cast<long>(sp.infix.size());
    }
    k = std::clamp(k, 0L, std::max(available, 0L));
    const char* from = s + std::min<std::size_t>(sp.prefix.size(), std::strlen(s));
    const std::size_t copied = std::min(static_cast<std::size_t>(k), limit);
    std::memcpy(dest, from, copied);
    dest[copied] = '\0';
    if (textEnd) *textEnd = from + k;
}

constexpr std::size_t kRewriteLimit = 511;

void rewrite(const char* text, char* dest, const char* pattern, const char* replacement, int level) {
    std::string out;
    if (text && pattern && replacement && matchWildcards(pattern, text, level, 1, true)) {
        if (level == 0) {
            out = replacement;
        } else if (level == 1) {
            const char* tc = text;
            const char* pc = pattern;
            char piece[kRewriteLimit + 1];
            for (const char* r = replacement; *r; ++r) {
                if (*r != '?' && *r != '*') {
                    out += *r;
                    continue;
                }
                if (!pc) continue;
                expandFirst(piece, kRewriteLimit, pc, tc, &tc, 1);
                out += piece;
                const char* w = firstWildcard(pc, 1);
                pc = w ? w + 1 : nullptr;
            }
        }
    }
    if (out.size() > kRewriteLimit) out.resize(kRewriteLimit);
    std::memcpy(dest, out.c_str(), out.size() + 1);
}

}  // namespace

int matchWildcards(const char* pattern, const char* text, int level, int caseSensitive, bool barShortcut,
                   int tableAfter) {
    return matchImpl(pattern, text, level, caseSensitive, barShortcut, tableAfter);
}

int matchWildcards(const tqWChar* pattern, const tqWChar* text, int level, int caseSensitive, bool barShortcut,
                   int tableAfter) {
    return matchImpl(pattern, text, level, caseSensitive, barShortcut, tableAfter);
}

}  // namespace orvane

using orvane::guarded;

extern "C" {

int tqString_matchWithWildcards(const char* pattern, const char* text, int level, int caseSensitive) noexcept {
    return guarded(0, [&] { return orvane::matchWildcards(pattern, text, level, caseSensitive, true); });
}

int tqString_matchWithWildcardsExtA(const char* pattern, const char* text, int level, int caseSensitive) noexcept {
    return guarded(0, [&] { return orvane::matchWildcards(pattern, text, level, caseSensitive); });
}

int tqString_matchWithWildcardsExtW(const tqWChar* pattern, const tqWChar* text, int level,
                                    int caseSensitive) noexcept {
    return guarded(0, [&] { return orvane::matchWildcards(pattern, text, level, caseSensitive); });
}

int tqString_matchChar(int patternChar, int textChar, int caseSensitive) noexcept {
    if (patternChar == textChar) return 1;
    if (caseSensitive) return 0;
    auto fold = [](int v) -> long {
        if (v >= 0 && v <= 255) return std::toupper(v);
        if (v > 255 && v <= 0xFFFF) return static_cast<long>(std::towupper(static_cast<std::wint_t>(v)));
        return v;
    };
    return fold(patternChar) == fold(textChar) ? 1 : 0;
}

int tqString_charIsWildCard(char c, int level) noexcept { return orvane::isLevelOneWildcard(c, level) ? 1 : 0; }

char* tqString_findFirstWildCard(const char* text, int level) noexcept {
    if (!text) return nullptr;
    return const_cast<char*>(orvane::firstWildcard(text, level));
}

char* tqString_findSubString(const char* text, const char* charSet) noexcept {
    if (!text || !charSet) return nullptr;
    const orvane::CharSet<char> set(charSet);
    for (const char* p = text; *p; ++p)
        if (set.contains(*p)) return const_cast<char*>(p);
    return nullptr;
}

char* tqString_findSubStringWithWildcards(const char* text, const char* pattern, int level) noexcept {
    return guarded<char*>(nullptr,
                          [&] { return const_cast<char*>(orvane::findWithWildcards(text, pattern, level)); });
}

int tqString_expandFirstWildcard(char* dest, const char* pattern, const char* text, const char** textEnd,
                                 int level) noexcept {
    if (!dest || !pattern || !text) return 0;
    dest[0] = '\0';
    return guarded(0, [&] {
        orvane::expandFirst(dest, SIZE_MAX - 1, pattern, text, textEnd, level);
        return 0;
    });
}

int tqString_replaceWithWildcards(const char* text, char* dest, const char* pattern, const char* replacement,
                                  int level) noexcept {
    if (!dest) return 0;
    dest[0] = '\0';
    return guarded(0, [&] {
        orvane::rewrite(text, dest, pattern, replacement, level);
        return 0;
    });
}

}  // extern "C"
