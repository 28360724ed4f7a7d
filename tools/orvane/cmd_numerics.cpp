// orvane subcommands of the numerics family.
#include "command.hpp"

namespace cli {

std::span<const Command> numericCommands() { return {}; }

}  // namespace cli
