#include "cli.h"

namespace kestrane::cli {
namespace {

const CommandGroup versionCommand([](CLI::App& app, const Options& options) {
    auto* cmd = app.add_subcommand("version", "print the tool's version");
    cmd->callback([&options] {
        Emit(options, {{"version", KESTRANE_VERSION}},
             [] { std::cout << "kestrane-cli " << KESTRANE_VERSION << '\n'; });
    });
});

}  // namespace
}  // namespace kestrane::cli
