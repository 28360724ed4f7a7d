// orvane subcommands of the pluginclient family.
#include "command.hpp"

namespace cli {

std::span<const Command> pluginCommands() { return {}; }

}  // namespace cli
