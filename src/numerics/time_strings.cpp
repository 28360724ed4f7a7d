// Month-and-year titles and the current local time in the fixed 24-character form.
#include <cstdio>
#include <ctime>

#include "orvane.h"

namespace {

// The two static buffers of the family: each call overwrites its own.
char gAsciiTime[32];
tqWChar gAsciiTimeW[32];

// "Thu Mar 04 17:06:09 2010": English names whatever the locale, day with a leading zero.
void formatNow(char out[32]) noexcept {
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    if (!localtime_r(&now, &t)) {
        out[0] = '\0';
        return;
    }
    const int wday = t.tm_wday >= 0 && t.tm_wday < 7 ? t.tm_wday : 0;
    const int mon = t.tm_mon >= 0 && t.tm_mon < 12 ? t.tm_mon : 0;
    std::snprintf(out, 32, "%s %s %02d %02d:%02d:%02d %d", kDays[wday], kMonths[mon], t.tm_mday % 100,
                  t.tm_hour % 100, t.tm_min % 100, t.tm_sec % 100, (t.tm_year + 1900) % 100000);
}

}  // namespace

extern "C" {

TQ_API int tqMisc_buildTimeString(char* out, int month, int year) TQ_NOEXCEPT {
    if (!out) return 0;
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    t.tm_sec = t.tm_min = t.tm_hour = 0;
    t.tm_mday = 1;
    // A month outside 1..12 would make strftime index past its name table: it wraps into
    // the year instead, as mktime would normalise it.
    int m = month - 1;
    long long y = static_cast<long long>(year) - 1900;
    y += m / 12;
    m %= 12;
    if (m < 0) m += 12, --y;
    t.tm_mon = m;
    t.tm_year = static_cast<int>(y < -2000000000 ? -2000000000 : y > 2000000000 ? 2000000000 : y);
    if (std::strftime(out, 256, "%B %Y", &t) == 0) out[0] = '\0';
    return 0;
}

TQ_API const char* tqMisc_getAsciiTimeA(void) TQ_NOEXCEPT {
    formatNow(gAsciiTime);
    return gAsciiTime;
}

TQ_API const tqWChar* tqMisc_getAsciiTimeW(void) TQ_NOEXCEPT {
    char text[32];
    formatNow(text);
    std::size_t i = 0;
    for (; text[i]; ++i) gAsciiTimeW[i] = static_cast<tqWChar>(text[i]);
    gAsciiTimeW[i] = u'\0';
    return gAsciiTimeW;
}

}  // extern "C"
