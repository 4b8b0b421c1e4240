// Subcommand registration of kestrane-cli. Each cmd_*.cpp defines a static CommandGroup whose
// function adds its subcommands; exit status 0 success, 1 refused or failed, 2 bad usage.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrane::cli {

struct Options {
    bool json = false;  // --json: machine-readable output
};

// A failure that the command reports to the user: message on stderr, exit status 1.
class CommandFailed : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using AddCommands = std::function<void(CLI::App& app, const Options& options)>;

std::vector<AddCommands>& CommandGroups();

struct CommandGroup {
    explicit CommandGroup(AddCommands add) { CommandGroups().push_back(std::move(add)); }
};

// Prints JSON or text: the text printer is called unless --json was given. Objects keep the order
// their fields were added in, so JSON reads like the text form.
void Emit(const Options& options, const nlohmann::ordered_json& value, const std::function<void()>& text);

}  // namespace kestrane::cli
