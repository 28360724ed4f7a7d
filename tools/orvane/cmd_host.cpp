// orvane subcommands of the host family.
#include "command.hpp"

namespace cli {

std::span<const Command> hostCommands() { return {}; }

}  // namespace cli
