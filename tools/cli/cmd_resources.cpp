// Resources of a patch executable and the component streams they hold.
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <memory>

#include "cli.h"
#include "patch/component_stream.h"
#include "platform/file_system.h"
#include "platform/resources.h"
#include "stream_report.h"

namespace kestrane::cli {
namespace {

std::vector<std::uint8_t> ReadInput(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (path == "-") {
        std::ios::sync_with_stdio(false);
        bytes.assign(std::istreambuf_iterator<char>(std::cin), {});
        return bytes;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw CommandFailed("cannot open " + path);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) throw CommandFailed("cannot read " + path);
    return bytes;
}

void WriteOutput(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (path == "-") {
        std::cout.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        if (!std::cout) throw CommandFailed("cannot write to standard output");
        return;
    }
    // Replaced whole: an interrupted run leaves the old file, never a part that looks finished.
    try {
        platform::WriteFileReplacing(path, bytes);
    } catch (const platform::EFileSystemError& e) {
        throw CommandFailed("cannot write " + path + ": " + e.Reason());
    }
}

std::unique_ptr<platform::ResourceFile> Open(const std::string& path) {
    try {
        return platform::ResourceFile::Open(path);
    } catch (const platform::EResourceError& e) {
        throw CommandFailed(e.what());
    }
}

struct ResourcesArgs {
    std::string file;
};

struct ExtractArgs {
    std::string file, name, output;
};

struct DecodeArgs {
    std::string file = "-";
    DecodeOptions options;
};

const CommandGroup resourceCommands([](CLI::App& app, const Options& options) {
    auto resources = std::make_shared<ResourcesArgs>();
    auto* list =
        app.add_subcommand("resources", "list the resources of an executable (type, name, language, size)");
    list->add_option("FILE", resources->file, "executable or patch")->required();
    list->callback([&options, resources] {
        const std::vector<platform::ResourceInfo> entries = Open(resources->file)->List();
        if (entries.empty()) throw CommandFailed(resources->file + " carries no resources");
        nlohmann::ordered_json json = nlohmann::ordered_json::array();
        for (const auto& r : entries)
            json.push_back({{"type", r.type}, {"name", r.name}, {"language", r.language}, {"size", r.size}});
        Emit(options, json, [&] {
            std::size_t typeWidth = 4, nameWidth = 4;
            for (const auto& r : entries) {
                typeWidth = std::max(typeWidth, r.type.size());
                nameWidth = std::max(nameWidth, r.name.size());
            }
            std::cout << std::left << std::setw(static_cast<int>(typeWidth)) << "TYPE"
                      << "  " << std::setw(static_cast<int>(nameWidth)) << "NAME"
                      << "  LANG  SIZE\n";
            for (const auto& r : entries)
                std::cout << std::left << std::setw(static_cast<int>(typeWidth)) << r.type << "  "
                          << std::setw(static_cast<int>(nameWidth)) << r.name << "  " << std::setw(4)
                          << r.language << "  " << r.size << '\n';
        });
    });

    auto extract = std::make_shared<ExtractArgs>();
    auto* ex = app.add_subcommand("extract", "write the raw bytes of an RCDATA resource");
    ex->add_option("FILE", extract->file, "executable or patch")->required();
    ex->add_option("NAME", extract->name, "resource name, e.g. FILEDATA")->required();
    ex->add_option("-o,--output", extract->output, "output file, - for standard output (default: NAME)");
    ex->callback([&options, extract] {
        const std::string output = extract->output.empty() ? extract->name : extract->output;
        if (options.json && output == "-") throw CLI::ValidationError("--json", "cannot go with -o -");
        std::vector<std::uint8_t> bytes;
        try {
            bytes = Open(extract->file)->ReadRcData(extract->name);
        } catch (const platform::EResourceError& e) {
            throw CommandFailed(extract->file + ": " + e.what());
        }
        WriteOutput(output, bytes);
        if (output == "-") return;
        Emit(options, {{"name", extract->name}, {"size", bytes.size()}, {"output", output}}, [&] {
            std::cout << extract->name << ": " << bytes.size() << " bytes written to " << output << '\n';
        });
    });

    auto decode = std::make_shared<DecodeArgs>();
    auto* dec = app.add_subcommand("decode", "show a component stream in its text form");
    dec->add_option("FILE", decode->file, "stream file, - for standard input (default)");
    dec->add_option("--files", decode->options.filesDir, "write each FILEDATA content into this folder");
    dec->add_flag("--force", decode->options.force, "with --files: replace files already in the folder");
    dec->callback([&options, decode] {
        const std::vector<std::uint8_t> bytes = ReadInput(decode->file);
        StreamRecord root;
        try {
            root = DecodeStream(bytes, decode->options);
        } catch (const patch::EStreamError& e) {
            throw CommandFailed((decode->file == "-" ? std::string("standard input") : decode->file) + ": " +
                                e.what());
        }
        Emit(options, StreamJson(root), [&] { std::cout << StreamText(root); });
    });
});

}  // namespace
}  // namespace kestrane::cli
