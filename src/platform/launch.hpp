// Starting programs and opening documents without a shell and without waiting.
#pragma once

#include <string>
#include <vector>

namespace orvane::platform {

// Splits a parameter text into arguments: blanks separate, a double-quoted stretch
// holds blanks (the quotes are dropped). No other expansion of any kind.
std::vector<std::string> splitParameters(const char* parameters);

// Opens `file` the way a desktop does: an executable regular file (a bare name is also
// looked for in PATH) runs with `arguments`; any other existing file or directory goes to
// xdg-open. Standard input is /dev/null; with `quiet` also standard output and error.
// The program runs in its own session and is not waited for; it is started through a
// short-lived intermediate process that is reaped here, so the program is adopted by
// init (or the nearest subreaper) and never lingers as a zombie of the host.
// 0, or errno (ENOENT for a missing file or a missing xdg-open).
int openDetached(const std::string& file, const std::vector<std::string>& arguments, bool quiet);

}  // namespace orvane::platform
