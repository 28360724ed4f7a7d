// The list readers and the shortening against plain transcriptions of their steps
// (a membership walk per entry, a rescan per cut), on generated lists.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "orvane.h"

namespace {

std::vector<std::string> walk(const std::string& list, const char* seps, const char* trim) {
    std::vector<std::string> out;
    std::vector<char> buf(list.size() + 1);
    for (std::size_t pos = 0;;) {
        const int n = tqString_getTokenExtA(buf.data(), list.c_str() + pos, trim, trim, nullptr, seps, nullptr, nullptr);
        if (n <= 0) return out;
        out.emplace_back(std::string(buf.data()).substr(0, 1023));
        pos += static_cast<std::size_t>(n);
    }
}

std::string folded(std::string s, bool ignoreCase) {
    for (char& c : s) c = ignoreCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    return s;
}

bool member(const std::string& list, const std::string& item, const char* seps, const char* trim, bool ic) {
    for (const auto& e : walk(list, seps, trim))
        if (folded(e, ic) == folded(item, ic)) return true;
    return false;
}

int sameAnyOrder(const std::string& a, const std::string& b, const char* seps, const char* trim, bool ic) {
    bool any = false;
    for (const auto& e : walk(a, seps, trim)) {
        if (e.empty()) continue;
        if (!member(b, e, seps, trim, ic)) return 0;
        any = true;
    }
    for (const auto& e : walk(b, seps, trim))
        if (!e.empty() && !member(a, e, seps, trim, ic)) return 0;
    return any ? 1 : 0;
}

std::string truncated(std::string list, char sep, int maxLength, const std::string& groups) {
    const std::string marker = "..";
    if (maxLength < 4 || list.size() <= static_cast<std::size_t>(maxLength)) return list;
    const std::size_t target = maxLength - marker.size();
    std::size_t cut = target;
    while (list.size() > target) {
        const std::size_t at = list.rfind(sep);
        if (at == std::string::npos) {
            cut = target;
            break;
        }
        std::size_t grouped = 0;
        for (std::size_t k = at; k < list.size(); ++k) grouped += groups.find(list[k]) != std::string::npos;
        list.resize(at);
        cut = at;
        if (grouped % 2 == 1) {
            const std::size_t open = list.rfind(groups[0]);
            if (open == std::string::npos) continue;
            const std::size_t before = list.rfind(sep, open == 0 ? std::string::npos : open - 1);
            if (open == 0 || before == std::string::npos || before >= open) continue;
            list.resize(before);
            cut = before;
        }
    }
    if (list.size() - std::min(cut, list.size()) < target) list = list.substr(0, cut) + marker;
    return list;
}

}  // namespace

TEST(ListsDifferential, MembershipAnyOrderAndShortening) {
    std::mt19937 rng(99);
    const std::string alphabet = "aAbB ,;()";
    auto text = [&](std::size_t n) {
        std::string s;
        for (std::size_t k = rng() % (n + 1); k > 0; --k) s += alphabet[rng() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 4000; ++round) {
        const std::string a = text(30), b = text(30), item = text(3);
        const char* seps = round % 2 ? "," : ",;";
        const char* trim = round % 3 ? " " : nullptr;
        const bool ic = round % 4 < 2;
        SCOPED_TRACE("[" + a + "] [" + b + "] [" + item + "] " + seps);
        ASSERT_EQ(tqString_listIsMemberA(a.c_str(), item.c_str(), seps, trim, ic), member(a, item, seps, trim, ic) ? 1 : 0);
        ASSERT_EQ(tqString_listsAreSame(a.c_str(), b.c_str(), seps, trim, ic, 1), sameAnyOrder(a, b, seps, trim, ic));
        ASSERT_EQ(tqString_listsAreSame(a.c_str(), a.c_str(), seps, trim, ic, 1), sameAnyOrder(a, a, seps, trim, ic));

        const int maxLength = static_cast<int>(rng() % 25);
        const std::string groups = round % 2 ? "()" : "";
        std::vector<char> buf(a.size() + 8, '\0');
        std::copy(a.begin(), a.end(), buf.begin());
        tqStringFixed_listTruncateBySeparatorExtA(buf.data(), "..", ',', maxLength, groups.empty() ? nullptr : "()");
        ASSERT_EQ(std::string(buf.data()), truncated(a, ',', maxLength, groups)) << "max " << maxLength;
    }
}
