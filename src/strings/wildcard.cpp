// The wildcard matcher and the level-1 search, expansion and rewriting built on it.
//
// The matching rules are those of a backtracking walk over the pattern, where '*' tries
// every split of the text, '|' takes zero or one character, and a level-3 alternative
// class commits to the first alternative that fits at its start. Tried naively that
// costs time exponential in the stars and a stack as deep as the pattern. Here the walk
// runs once from left to right over the pattern's elements, carrying the set of text
// positions it can stand at (a bit set over the text), so there is no recursion and no
// limit on the number of wildcards: memory is a few bits per text position plus a few
// bytes per position while an alternative class is worked out, time at most pattern x
// text. After a '*' only the smallest position matters, so from one '*' to the next the
// walk looks for the earliest end of the segment between them, trying starts in order.
//
// Alternatives never hold a comma and so never nest further alternatives: each one is
// a plain regular pattern, run as a position-set automaton over the text, which finds
// every length it matches in one pass.
#include "strings/wildcard.hpp"

#include <algorithm>
#include <bit>
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
        alwaysAny_ = always_.any();
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

    // The length taken at start j (as longest() finds it), for a single start.
    std::size_t takenAt(const C* t, std::size_t tn, std::size_t j) {
        const std::size_t most = std::min(tn - j, open_ ? kClassLimit : length_);
        return longest(t + j, most);
    }

    // The same answers for the starts in [from, to] that `wanted` names, in one pass over
    // the text: out[s - from] receives the length taken at start s (0: none; entries of
    // other starts are left alone). states[k] holds, as bit d, the starts e - d (d up to
    // the class limit) from which the text read so far leaves the alternative before
    // element k. Stretches where no wanted start is alive are skipped.
    template <class Wanted>
    void fillTable(const C* t, std::size_t tn, std::size_t from, std::size_t to, std::uint16_t* out,
                   Wanted&& wanted) {
        const std::size_t E = elements_.size();
        std::vector<States> states(E + 1), next(E + 1);
        auto close = [&](std::vector<States>& d) {
            for (std::size_t k = 0; k < E; ++k)
                if (epsilon_.test(k)) d[k + 1] = d[k + 1] | d[k];
        };
        const std::size_t stop = std::min(tn, to + kClassLimit);
        bool alive = false;
        for (std::size_t e = from;; ++e) {
            if (!alive) {  // nothing in flight: go to the next wanted start
                while (e <= to && !wanted(e)) ++e;
                if (e > to) break;
                for (States& d : states) d = States{};
                states[0].set(0);
                close(states);
            }
            if (open_ && alwaysAny_) {
                // A start that has reached a final run of '*' takes all it may: decided now,
                // and dropped from the states so that it is written once.
                States reached;
                for (std::size_t k = 0; k < E; ++k)
                    if (always_.test(k)) reached = reached | states[k];
                for (int k = 0; k < 4; ++k)
                    for (std::uint64_t v = reached.w[k]; v; v &= v - 1) {
                        const std::size_t d = static_cast<std::size_t>(k) * 64 + std::countr_zero(v), st = e - d;
                        out[st - from] = static_cast<std::uint16_t>(std::min(tn - st, kClassLimit));
                    }
                if (reached.any()) {
                    States keep;
                    for (int k = 0; k < 4; ++k) keep.w[k] = ~reached.w[k];
                    for (States& d : states) d = d & keep;
                }
            }
            const States& done = states[E];
            if (open_) {
                for (int k = 0; k < 4; ++k)  // ascending: a later end overwrites with a longer piece
                    for (std::uint64_t v = done.w[k]; v; v &= v - 1) {
                        const std::size_t d = static_cast<std::size_t>(k) * 64 + std::countr_zero(v);
                        if (d > 0) out[e - d - from] = static_cast<std::uint16_t>(d);
                    }
            } else if (done.test(E)) {
                out[e - E - from] = static_cast<std::uint16_t>(E);
            }
            if (e == stop) break;
            const States take = accepting(t[e]);
            alive = false;
            for (States& d : next) d = States{};
            for (std::size_t k = 0; k < E; ++k) {
                if (!states[k].any()) continue;
                const States moved = states[k].next();
                if (take.test(k)) next[k + 1] = next[k + 1] | moved;
                if (star_.test(k)) next[k] = next[k] | moved;
            }
            if (e + 1 <= to && wanted(e + 1)) next[0].set(0);
            close(next);
            for (const States& d : next) alive = alive || d.any();
            states.swap(next);
        }
        if (!open_)  // the piece is as long as the alternative's text, or the text's rest
            for (std::size_t j = from; j <= to; ++j)
                if (out[j - from] && out[j - from] != std::min(length_, tn - j)) out[j - from] = 0;
    }

private:
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

    // The elements that take `c`, remembered per code below 256 (only for the codes that
    // occur, so that a pattern of thousands of classes stays small).
    States accepting(C c) {
        const unsigned v = code(c);
        if (v < 256 && slot_[v]) return seen_[slot_[v] - 1u];
        States m;
        for (std::size_t k = 0; k < elements_.size(); ++k)
            if (consumes(elements_[k], k, c)) m.set(k);
        if (v < 256) {
            seen_.push_back(m);
            slot_[v] = static_cast<std::uint16_t>(seen_.size());
        }
        return m;
    }

    const C* alt_;
    std::size_t length_;
    Rules<C> rules_;
    std::vector<Element> elements_;
    std::vector<std::size_t> starts_;
    States epsilon_, star_, always_, blockers_, start_;
    std::uint16_t slot_[256] = {};  // 1 + index into seen_, 0 while unknown
    std::vector<States> seen_;
    bool open_ = false, endsInStar_ = false, alwaysAny_ = false;
};

// A set of text positions 0..n, one bit each, with the span of words that may hold a
// bit, so that clearing and walking a sparse set costs only its span.
class Positions {
public:
    explicit Positions(std::size_t n) : n_(n), words_(n / 64 + 1, 0), lo_(words_.size()), hi_(0) {}

    bool empty() const noexcept { return lo_ >= hi_; }
    bool test(std::size_t j) const noexcept { return (words_[j >> 6] >> (j & 63)) & 1u; }

    void set(std::size_t j) noexcept {
        const std::size_t w = j >> 6;
        words_[w] |= std::uint64_t{1} << (j & 63);
        lo_ = std::min(lo_, w);
        hi_ = std::max(hi_, w + 1);
    }

    void clear() noexcept {
        for (std::size_t w = lo_; w < hi_; ++w) words_[w] = 0;
        lo_ = words_.size();
        hi_ = 0;
    }

    // Every position from `from` to n.
    void setFrom(std::size_t from) noexcept { setRange(from, n_); }

    // Every position from `from` to `to` (positions beyond n dropped).
    void setRange(std::size_t from, std::size_t to) noexcept {
        clear();
        to = std::min(to, n_);
        if (from > to) return;
        lo_ = from >> 6;
        hi_ = (to >> 6) + 1;
        for (std::size_t w = lo_; w < hi_; ++w) words_[w] = ~std::uint64_t{0};
        words_[lo_] &= ~std::uint64_t{0} << (from & 63);
        words_[hi_ - 1] &= ~std::uint64_t{0} >> (63 - (to & 63));
    }

    // this = from | from + 1 (positions beyond n dropped).
    void setWidened(const Positions& from) noexcept {
        clear();
        if (from.empty()) return;
        lo_ = from.lo_;
        hi_ = std::min(from.hi_ + 1, words_.size());
        std::uint64_t carry = lo_ > 0 ? from.words_[lo_ - 1] >> 63 : 0;
        for (std::size_t w = lo_; w < hi_; ++w) {
            const std::uint64_t v = w < from.hi_ ? from.words_[w] : 0;
            words_[w] = v | (v << 1) | carry;
            carry = v >> 63;
        }
        trimLast();
        normalize();
    }

    std::size_t first() const noexcept {
        for (std::size_t w = lo_; w < hi_; ++w)
            if (words_[w]) return (w << 6) + static_cast<std::size_t>(std::countr_zero(words_[w]));
        return SIZE_MAX;
    }

    std::size_t count() const noexcept {
        std::size_t c = 0;
        for (std::size_t w = lo_; w < hi_; ++w) c += static_cast<std::size_t>(std::popcount(words_[w]));
        return c;
    }

    std::size_t last() const noexcept {
        for (std::size_t w = hi_; w-- > lo_;)
            if (words_[w]) return (w << 6) + 63 - static_cast<std::size_t>(std::countl_zero(words_[w]));
        return SIZE_MAX;
    }

    // Calls f(j) for each position in ascending order; stops early when f returns true.
    template <class F>
    bool any(F&& f) const {
        for (std::size_t w = lo_; w < hi_; ++w)
            for (std::uint64_t v = words_[w]; v; v &= v - 1)
                if (f((w << 6) + static_cast<std::size_t>(std::countr_zero(v)))) return true;
        return false;
    }

    // Shrinks the span to the words that hold a bit.
    void normalize() noexcept {
        while (lo_ < hi_ && !words_[lo_]) ++lo_;
        while (hi_ > lo_ && !words_[hi_ - 1]) --hi_;
        if (lo_ >= hi_) lo_ = words_.size(), hi_ = 0;
    }

    void swap(Positions& o) noexcept {
        words_.swap(o.words_);
        std::swap(lo_, o.lo_);
        std::swap(hi_, o.hi_);
    }

private:
    void trimLast() noexcept {
        const std::size_t bits = (n_ & 63) + 1;  // positions held by the last word
        if (bits < 64) words_.back() &= (std::uint64_t{1} << bits) - 1;
    }

    std::size_t n_;
    std::vector<std::uint64_t> words_;
    std::size_t lo_, hi_;
};

template <class C>
class Matcher {
public:
    Matcher(const C* p, std::size_t pn, const C* t, std::size_t tn, int level, bool caseSensitive, int tableAfter)
        : parsed_(p, pn, level), p_(p), pn_(pn), t_(t), tn_(tn), rules_{level == 0 || caseSensitive},
          tableAfter_(static_cast<std::size_t>(std::max(tableAfter, 0))), at_(tn), next_(tn), compiled_(pn) {}

    // The walk over the elements, carrying every text position it can stand at. After a
    // '*' every position from the smallest one on is open, so only that one is kept
    // (`from`) while the walk goes from star to star.
    bool run() {
        bool suffix = false;
        std::size_t from = 0;
        at_.set(0);
        for (std::size_t i = 0; i < pn_;) {
            const Element& e = parsed_.at(i);
            if (e.kind != Kind::Star) {
                if (e.next >= pn_) return finish(e, i);
                const bool any = step(e, i);
                compiled_[i].reset();  // the walk does not come back here
                if (!any) return false;
                i = e.next;
                continue;
            }
            if (e.next >= pn_) return true;  // a final '*' takes whatever is left
            if (!suffix) from = at_.first();
            suffix = true;
            // The segment up to the next '*' (or the pattern's end), and the fewest
            // characters it takes: every element but '|' takes at least one.
            std::size_t end = e.next, width = 0;
            bool fixed = true;
            for (; end < pn_ && parsed_.at(end).kind != Kind::Star; end = parsed_.at(end).next) {
                const Kind k = parsed_.at(end).kind;
                if (k != Kind::Bar) ++width;
                if (!singleCharacter(k)) fixed = false;
            }
            if (end >= pn_) {
                if (fixed) return width <= tn_ && tn_ - width >= from && runFits(e.next, end, tn_ - width);
                // Only starts from which the rest can still reach the text's end count:
                // each element takes at most one character, an alternative class at most
                // its longest piece (a final class with an alternative that ends in '*'
                // accepts any rest).
                std::size_t most = 0;
                bool bounded = true;
                for (std::size_t k = e.next; k < pn_; k = parsed_.at(k).next) {
                    const Element& x = parsed_.at(k);
                    if (x.kind != Kind::Alternatives) {
                        ++most;
                        continue;
                    }
                    bool endsInStar = false;
                    most += longestPiece(x, endsInStar);
                    if (endsInStar && x.next >= pn_) bounded = false;
                }
                if (bounded && tn_ > most) from = std::max(from, tn_ - most);
                at_.setFrom(from);
                suffix = false;
                i = e.next;
                continue;
            }
            // The next '*' only needs the smallest position that the segment reaches from
            // some start at `from` or later; from start s that is s + width at the least,
            // so the starts are tried in order until none can do better. A fixed-width
            // segment is placed at its first fit; any other is tried start by start a few
            // times, then for all remaining starts at once.
            std::size_t best = SIZE_MAX, s = from;
            if (fixed) {
                while (s + width <= tn_ && !runFits(e.next, end, s)) ++s;
                if (s + width <= tn_) best = s + width;
            } else {
                for (std::size_t tries = 0; s + width <= tn_ && s + width < best && tries < tableAfter_; ++s, ++tries) {
                    at_.clear();
                    at_.set(s);
                    if (segment(e.next, end)) best = std::min(best, at_.first());
                }
                if (s + width <= tn_ && s + width < best) {  // only starts that could still do better
                    at_.setRange(s, best == SIZE_MAX ? tn_ : best - width - 1);
                    if (segment(e.next, end)) best = std::min(best, at_.first());
                }
            }
            for (std::size_t k = e.next; k < end; k = parsed_.at(k).next) compiled_[k].reset();
            if (best == SIZE_MAX) return false;
            from = best;
            i = end;
        }
        return at_.test(tn_);
    }

private:
    static bool singleCharacter(Kind k) noexcept {
        return k == Kind::Literal || k == Kind::AlnumAny || k == Kind::Class || k == Kind::AnyOne;
    }

    bool fits(const Element& e, std::size_t i, C c) const noexcept {
        switch (e.kind) {
            case Kind::Literal: return rules_.same(p_[i], c);
            case Kind::AlnumAny: return isAlnum(c);
            case Kind::Class: return rules_.inSet(p_ + e.content, e.contentLength, c) != e.negated;
            default: return true;  // an unbalanced "[" takes any one character
        }
    }

    // Do the single-character elements from pattern position i to end match the text from s?
    bool runFits(std::size_t i, std::size_t end, std::size_t s) const noexcept {
        for (; i < end; i = parsed_.at(i).next, ++s)
            if (!fits(parsed_.at(i), i, t_[s])) return false;
        return true;
    }

    // The most characters an alternative class can take: an alternative with '*' up to
    // the class limit, any other at most as many as it is long (a negated class that
    // finds none takes one). `endsInStar`: some alternative ends in '*'.
    std::size_t longestPiece(const Element& e, bool& endsInStar) const noexcept {
        const C* content = p_ + e.content;
        std::size_t most = e.negated ? 1 : 0;
        for (std::size_t a = 0; a < e.contentLength;) {
            std::size_t b = a;
            bool star = false;
            for (; b < e.contentLength && content[b] != C(','); ++b) star = star || content[b] == C('*');
            most = std::max(most, star ? kClassLimit : b - a);
            if (b > a && content[b - 1] == C('*')) endsInStar = true;
            a = b + 1;
        }
        return most;
    }

    // Elements from i to end (none a '*', none the pattern's last) over the current
    // positions; false when no position is left.
    bool segment(std::size_t i, std::size_t end) {
        for (; i < end; i = parsed_.at(i).next)
            if (!step(parsed_.at(i), i)) return false;
        return true;
    }

    // One element that is neither a '*' nor the pattern's last: the positions after it.
    bool step(const Element& e, std::size_t i) {
        next_.clear();
        switch (e.kind) {
            case Kind::Bar: next_.setWidened(at_); break;
            case Kind::Alternatives: alternatives(e, i, false); break;
            default:
                at_.any([&](std::size_t j) {
                    if (j < tn_ && fits(e, i, t_[j])) next_.set(j + 1);
                    return false;
                });
                break;
        }
        next_.normalize();
        at_.swap(next_);
        return !at_.empty();
    }

    // The pattern's last element (not a '*'): does it end at the text's end?
    bool finish(const Element& e, std::size_t i) {
        switch (e.kind) {
            case Kind::Bar: return at_.test(tn_) || (tn_ > 0 && at_.test(tn_ - 1));  // zero or one character
            case Kind::Alternatives: return alternatives(e, i, true);
            default: return tn_ > 0 && at_.test(tn_ - 1) && fits(e, i, t_[tn_ - 1]);
        }
    }

    // An alternative class from every current position into next_: the first alternative
    // (in order) that fits there decides how many characters it takes. For the class that
    // ends the pattern, true when one of the ways reaches the text's end (or the taken
    // alternative ends in '*', which accepts the rest).
    bool alternatives(const Element& e, std::size_t i, bool last) {
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
        auto step = [&](std::size_t j, std::size_t taken, bool star) {
            if (taken == 0) {
                if (!e.negated || j >= tn_) return false;
                taken = 1;  // a negated class with no fitting alternative takes one character
                star = false;
            }
            if (last) return star || j + taken == tn_;
            next_.set(j + taken);
            return false;
        };
        std::size_t undecided = at_.count();
        if (undecided <= tableAfter_) {
            return at_.any([&](std::size_t j) {
                for (Alternative<C>& alt : *list)
                    if (const std::size_t L = alt.takenAt(t_, tn_, j)) return step(j, L, alt.endsInStar());
                return step(j, 0, false);
            });
        }
        // Many starts: each alternative's lengths at every start it still decides, in one
        // pass over the text.
        const std::size_t lo = at_.first(), hi = at_.last();
        std::vector<std::uint16_t> taken(hi - lo + 1, 0), table(hi - lo + 1);
        std::vector<std::uint8_t> byStar(hi - lo + 1, 0);
        for (Alternative<C>& alt : *list) {
            if (undecided == 0) break;
            std::fill(table.begin(), table.end(), std::uint16_t{0});
            alt.fillTable(t_, tn_, lo, hi, table.data(),
                          [&](std::size_t s) { return taken[s - lo] == 0 && at_.test(s); });
            for (std::size_t k = 0; k < table.size(); ++k)
                if (!taken[k] && table[k]) {
                    taken[k] = table[k];
                    byStar[k] = alt.endsInStar();
                    --undecided;
                }
        }
        return at_.any([&](std::size_t j) { return step(j, taken[j - lo], byStar[j - lo] != 0); });
    }

    Parsed<C> parsed_;
    const C* p_;
    std::size_t pn_;
    const C* t_;
    std::size_t tn_;
    Rules<C> rules_;
    std::size_t tableAfter_;
    Positions at_, next_;
    // Per class, from its first use until the walk has passed it for good.
    std::vector<std::unique_ptr<std::vector<Alternative<C>>>> compiled_;
};

template <class C>
int matchImpl(const C* pattern, const C* text, int level, int caseSensitive, int tableAfter) {
    if (!pattern || !text) return 0;
    if (level < 0) return *text == C(0) ? 1 : 0;
    const std::size_t pn = length(pattern), tn = length(text);
    if (pn >= (SIZE_MAX >> 8) || tn >= (SIZE_MAX >> 8)) throw std::bad_alloc();  // no table could hold them
    Matcher<C> m(pattern, pn, text, tn, std::min(level, 3), caseSensitive != 0, tableAfter);
    return m.run() ? 1 : 0;
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
    if (matchWildcards(pattern, text, level, 1)) return text;
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
    if (text && pattern && replacement && matchWildcards(pattern, text, level, 1)) {
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

int matchWildcards(const char* pattern, const char* text, int level, int caseSensitive, int tableAfter) {
    return matchImpl(pattern, text, level, caseSensitive, tableAfter);
}

int matchWildcards(const tqWChar* pattern, const tqWChar* text, int level, int caseSensitive, int tableAfter) {
    return matchImpl(pattern, text, level, caseSensitive, tableAfter);
}

}  // namespace orvane

using orvane::guarded;

extern "C" {

int tqString_matchWithWildcards(const char* pattern, const char* text, int level, int caseSensitive) noexcept {
    return guarded(0, [&] { return orvane::matchWildcards(pattern, text, level, caseSensitive); });
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
