// store decode: a value file of the product's store, its trailer and its decoded tagged content.
#include <filesystem>

#include "cli.h"
#include "framework/base.h"
#include "framework/blob_codec.h"
#include "product/store_dump.h"

namespace kestrane::cli {
namespace {

void Decode(const Options& options, const std::string& path) {
    const auto bytes = framework::ReadFileBytes(path);
    std::error_code ec;
    if (!bytes || !std::filesystem::is_regular_file(path, ec)) throw CommandFailed("cannot read " + path);
    product::TStoredValueFile value;
    std::vector<product::TTaggedEntry> entries;
    std::string failure;
    try {
        value = product::DecodeValueFile(*bytes);
    } catch (const framework::EQELException& e) {
        throw CommandFailed("the stored bytes do not decode: " + e.Description);
    }
    try {
        entries = product::DumpTagged(value.Decoded);
    } catch (const framework::EQELException& e) {
        // What was read before the damage is still worth showing.
        failure = e.Description;
    }
    nlohmann::ordered_json json{{"file", path},
                                {"storedBytes", value.StoredSize},
                                {"trailer", value.Trailer},
                                {"empty", value.Empty},
                                {"decodedBytes", value.Decoded.size()}};
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& e : entries) list.push_back({{"depth", e.Depth}, {"kind", e.Kind}, {"value", e.Value}});
    json["values"] = list;
    if (!failure.empty()) json["error"] = failure;
    Emit(options, json, [&] {
        std::cout << "file     " << path << "\nstored   " << value.StoredSize << " bytes\ntrailer  "
                  << value.Trailer << "\n";
        if (value.Empty) {
            std::cout << "empty value\n";
            return;
        }
        std::cout << "decoded  " << value.Decoded.size() << " bytes\n";
        for (const auto& e : entries) {
            std::string kind = std::string(static_cast<std::size_t>(e.Depth) * 2, ' ') + e.Kind;
            if (kind.size() < 10) kind.resize(10, ' ');
            std::cout << kind << ' ' << e.Value << '\n';
        }
    });
    if (!failure.empty()) throw CommandFailed("damaged content: " + failure);
}

const CommandGroup storeCommands([](CLI::App& app, const Options& options) {
    auto* store = app.add_subcommand("store", "the product's configuration store");
    store->require_subcommand(1);
    auto* decode = store->add_subcommand("decode", "show a value file: trailer and decoded content");
    static std::string file;
    decode->add_option("FILE", file, "a lumo_bd_<value>_<key>.lmb file")->required();
    decode->callback([&options] { Decode(options, file); });
});

}  // namespace
}  // namespace kestrane::cli
