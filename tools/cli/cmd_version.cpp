#include "cli.h"

namespace kestrane::cli {
namespace {

const CommandGroup versionCommand([](CLI::App& app, const Options& options) {
    auto* cmd = app.add_subcommand("version", "print the tool's version");
    cmd->callback([&options] {
        Emit(options, {{"version", "0.1"}}, [] { std::cout << "kestrane-cli 0.1\n"; });
    });
});

}  // namespace
}  // namespace kestrane::cli
