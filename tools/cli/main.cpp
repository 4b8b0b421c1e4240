#include "cli.h"

namespace kestrane::cli {

std::vector<AddCommands>& CommandGroups() {
    static std::vector<AddCommands> groups;
    return groups;
}

void Emit(const Options& options, const nlohmann::ordered_json& value, const std::function<void()>& text) {
    // Database and file texts need not be valid UTF-8; bad bytes become U+FFFD instead of failing.
    if (options.json)
        std::cout << value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    else
        text();
}

}  // namespace kestrane::cli

int main(int argc, char** argv) {
    using namespace kestrane::cli;
    CLI::App app{"kestrane-cli: inspect patches, component streams and Lumo installations"};
    app.require_subcommand(1);
    app.fallthrough();  // --json may follow the subcommand
    Options options;
    app.add_flag("--json", options.json, "print JSON instead of text");
    for (const auto& add : CommandGroups()) add(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    } catch (const CommandFailed& e) {
        std::cerr << "kestrane-cli: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "kestrane-cli: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
