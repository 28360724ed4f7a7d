// orvane subcommands of the database family.
#include "command.hpp"

namespace cli {

std::span<const Command> databaseCommands() { return {}; }

}  // namespace cli
