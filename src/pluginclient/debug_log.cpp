// The plug-in client's trace file. Logging stays off until the file has been seen once
// (somebody created it to ask for traces); from then on every operation re-opens it for
// appending. Each line is flushed at once so that a crashing host loses nothing.
#include <cstdarg>
#include <cstdio>

#include "pluginclient/transport.hpp"

namespace orvane::plugin {

namespace {

// The process-wide state of the log: the switch and the one open stream.
bool gLogging = false;
std::FILE* gStream = nullptr;
const char* gPath = kDebugLogPath;

}  // namespace

void DebugLogBegin() noexcept {
    if (std::FILE* probe = std::fopen(gPath, "re")) {
        std::fclose(probe);
        gLogging = true;
    }
    if (gLogging) {
        gLogging = false;
        if (gStream) std::fclose(gStream);  // left open by an operation that did not end
        gStream = std::fopen(gPath, "ae");
        gLogging = gStream != nullptr;
    }
}

void DebugLogWrite(const char* format, ...) noexcept {
    if (!gLogging || !gStream) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(gStream, format, args);
    va_end(args);
    std::fflush(gStream);
}

void DebugLogEnd() noexcept {
    if (gLogging && gStream) {
        std::fclose(gStream);
        gStream = nullptr;
    }
}

void DebugLogUseFileForTesting(const char* path) noexcept {
    if (gStream) std::fclose(gStream);
    gStream = nullptr;
    gLogging = false;
    gPath = path ? path : kDebugLogPath;
}

}  // namespace orvane::plugin
