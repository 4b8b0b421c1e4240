// inspect: what a patch carries, read as the installer reads it: type, switches, version descriptor,
// program files (action, relative path, size, SHA-256), account-set items with their nodes, and the
// run-time parameters.
#include <nettle/sha2.h>

#include "app/maker_pages.h"
#include "app/patch_loader.h"
#include "app/seams.h"
#include "cli.h"
#include "patch/component_stream.h"
#include "patch/inst_nodes.h"
#include "platform/file_system.h"
#include "stream_report.h"
#include "support/text.h"

namespace kestrane::cli {
namespace {

using nlohmann::ordered_json;

std::string Sha256(const support::Bytes& bytes) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, bytes.size(), bytes.data());
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx, sizeof digest, digest);
    return support::HexText(digest, true);
}

// Every published property of an object with its value, in stream order; enumerations by value name.
// The component's own integer tag is 0 throughout and left out.
ordered_json Members(const patch::TResBase& object) {
    ordered_json members = ordered_json::object();
    for (const patch::PropInfo& p : object.ClassInfo().Properties()) {
        if (!p.stored || (p.kind == patch::PropKind::Integer && p.name == "Tag")) continue;
        switch (p.kind) {
            case patch::PropKind::Text:
                members[std::string(p.name)] = p.getText(object);
                break;
            case patch::PropKind::Boolean:
                members[std::string(p.name)] = p.getOrdinal(object) != 0;
                break;
            case patch::PropKind::Enumeration: {
                const auto value = static_cast<std::size_t>(p.getOrdinal(object));
                const auto& names = p.enumType->names;
                members[std::string(p.name)] =
                    value < names.size() ? std::string(names[value]) : std::to_string(value);
                break;
            }
            case patch::PropKind::Integer:
                members[std::string(p.name)] = p.getOrdinal(object);
                break;
        }
    }
    return members;
}

std::string MemberText(const ordered_json& v) {
    if (v.is_string()) return QuoteText(v.get<std::string>());
    if (v.is_boolean()) return v.get<bool>() ? "True" : "False";
    return v.dump();
}

std::string MembersText(const ordered_json& members, const std::vector<std::string>& skip = {}) {
    std::string out;
    for (const auto& [name, value] : members.items()) {
        if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
        out += (out.empty() ? "" : " ") + name + "=" + MemberText(value);
    }
    return out;
}

ordered_json VersionJson(const patch::TResCollection& files) {
    const patch::TResItem* item = files.FindByOptType(patch::otVersion);
    if (!item) return nullptr;
    ordered_json v = {{"file", item->Name}};
    patch::TPatchVersion version;
    try {
        app::ReadVersionBytes(version, item->MemStream);
    } catch (const std::exception& e) {
        v["error"] = e.what();
        return v;
    }
    auto pairs = [](const patch::TVersionArray& list) {
        ordered_json out = ordered_json::array();
        for (const auto& p : list) out.push_back({{"tag", p.Tag}, {"name", p.Name}});
        return out;
    };
    v["type"] = version.Type;
    v["patchNo"] = version.PatchNo;
    v["patchName"] = version.PatchName;
    v["description"] = version.Description;
    v["program"] = {{"newTag", version.ProgramNewTag},
                    {"newName", version.ProgramNewName},
                    {"versions", pairs(version.ProgramVersions)}};
    v["instance"] = {{"newTag", version.InstanceNewTag},
                     {"newName", version.InstanceNewName},
                     {"versions", pairs(version.InstanceVersions)}};
    v["summary"] = app::VersionSummary(version);
    return v;
}

void Inspect(const Options& options, const std::string& file) {
    if (!platform::FileExists(file)) throw CommandFailed("no such file: " + file);
    patch::RegisterStreamClasses();
    patch::TBaseParamInfo params;
    patch::TResCollection files;
    patch::TInstResCollection items;
    std::string failure;
    const app::MessageSink keep = [&](const std::string& text) { failure = text; };
    if (!app::LoadPatchResources(file,
                                 app::kPatchPartParamData | app::kPatchPartFileData | app::kPatchPartInstData,
                                 true, {params, files, items}, {keep, keep}))
        throw CommandFailed(file + ": " + failure);

    const ordered_json root = Members(files);
    ordered_json fileList = ordered_json::array();
    for (std::size_t i = 0; i < files.Count(); ++i) {
        const patch::TResItem& f = files.Item(i);
        ordered_json entry = Members(f);
        entry["size"] = f.MemStream.size();
        entry["sha256"] = Sha256(f.MemStream);
        fileList.push_back(entry);
    }
    ordered_json itemList = ordered_json::array();
    for (std::size_t i = 0; i < items.Count(); ++i) {
        const patch::TInstResItem& item = items.Item(i);
        ordered_json nodes = ordered_json::array();
        for (const patch::TNodeItem* node : item.NodeList()) {
            ordered_json n = {{"class", std::string(node->ClassName())}};
            n.update(Members(*node));
            nodes.push_back(n);
        }
        itemList.push_back({{"kind", patch::ParamNodeTypeCaption(item.ParamNodeType())},
                            {"class", std::string(item.ClassName())},
                            {"description", item.Description},
                            {"nodes", nodes}});
    }
    const ordered_json json{{"file", file},
                            {"type", root["PatchType"]},
                            {"switches",
                             {{"NotCheckVersion", root["NotCheckVersion"]},
                              {"NotUpdateVersion", root["NotUpdateVersion"]},
                              {"NotBackup", params.NotBackup}}},
                            {"version", VersionJson(files)},
                            {"description", files.Description},
                            {"files", fileList},
                            {"items", itemList},
                            {"parameters", Members(params)}};

    Emit(options, json, [&] {
        std::cout << "patch " << file << "\n";
        std::cout << "type: " << root["PatchType"].get<std::string>() << "\n";
        std::cout << "switches: " << MembersText(json["switches"]) << "\n";
        const ordered_json& v = json["version"];
        if (v.is_null())
            std::cout << "version: none\n";
        else if (v.contains("error"))
            std::cout << "version: " << v["file"].get<std::string>()
                      << " (cannot be read: " << v["error"].get<std::string>() << ")\n";
        else
            std::cout << "version: " << v["file"].get<std::string>() << "\n  "
                      << support::ReplaceAll(v["summary"].get<std::string>(), "\r\n", "\n  ") << "\n";
        std::cout << "program files: " << files.Count()
                  << (files.Description.empty() ? "" : ", description " + QuoteText(files.Description))
                  << "\n";
        int n = 0;
        for (const auto& f : fileList)
            std::cout << "  " << ++n << ". " << f["Name"].get<std::string>() << "  "
                      << f["OptType"].get<std::string>() << "  " << f["size"].get<std::size_t>()
                      << " bytes  sha256 " << f["sha256"].get<std::string>() << "\n     "
                      << MembersText(f, {"Name", "OptType", "size", "sha256"}) << "\n";
        std::cout << "account-set items:\n";
        for (const auto& item : itemList) {
            std::cout << "  " << item["kind"].get<std::string>() << " (" << item["class"].get<std::string>()
                      << "): " << item["nodes"].size() << " nodes";
            if (!item["description"].get<std::string>().empty())
                std::cout << ", description " << QuoteText(item["description"].get<std::string>());
            std::cout << "\n";
            for (const auto& node : item["nodes"])
                std::cout << "    " << node["class"].get<std::string>() << " " << MembersText(node, {"class"})
                          << "\n";
        }
        std::cout << "parameters: " << MembersText(json["parameters"]) << "\n";
    });
}

const CommandGroup inspectCommand([](CLI::App& app, const Options& options) {
    auto* cmd = app.add_subcommand("inspect",
                                   "what a patch carries: type, switches, version, files, items, parameters");
    static std::string file;
    cmd->add_option("PATCH", file, "the patch executable")->required();
    cmd->callback([&options] { Inspect(options, file); });
});

}  // namespace
}  // namespace kestrane::cli
