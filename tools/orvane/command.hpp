// The subcommands of `orvane`. Each family of the library brings its own table in its own
// source file (cmd_<family>.cpp); main.cpp only dispatches and prints help (also
// `orvane NAME --help`, from the fields below, which the manual page is made of).
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace cli {

struct Command {
    const char* name;     // first word on the command line
    const char* usage;    // argument synopsis, shown by --help
    const char* summary;  // one line, shown by --help
    int (*run)(const std::vector<std::string>& args);  // args after the name; exit status
    // For `orvane NAME --help` and the manual page: one option a line, "OPTION\tDESCRIPTION";
    // and one or more shell lines that show the command at work.
    const char* options = "";
    const char* example = nullptr;
};

std::span<const Command> stringCommands();
std::span<const Command> numericCommands();
std::span<const Command> databaseCommands();
std::span<const Command> tableCommands();
std::span<const Command> pluginCommands();
std::span<const Command> hostCommands();
std::span<const Command> fileCommands();
std::span<const Command> designFileCommands();

// Shared helpers.
int usageError(const std::string& message);  // prints "orvane: message" and returns 2
std::string readAll(std::FILE* in);          // whole stream as text

}  // namespace cli
