// A maker's installation made in the test: a registry file naming it, store files listing one
// embedded server, and embedded account sets with the definition tables; the headless pages and a
// stand-in program beside them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/headless_pages.h"
#include "app/manager.h"
#include "app/scripted_interaction.h"
#include "common/env_guard.h"
#include "patch/component_stream.h"
#include "product/install_folder.h"
#include "source_account_set.h"

namespace kestrane::app {

class MakerFixture : public testing::InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        patch::RegisterStreamClasses();
        pages_.emplace();
        registry_ = std::make_unique<testing::EnvGuard>("KESTRANE_REGISTRY", Sub("etc") + "/registry.reg");
    }
    void TearDown() override {
        pages_.reset();
        registry_.reset();
        InstallFolder::TearDown();
    }

    std::string Sets() const { return Sub("sets"); }
    std::string SetFile(const std::string& name) const { return Sets() + "/" + name + ".mdb"; }

    // The registry names the installation folder; its store lists one embedded server with the given
    // account sets, each holding the definition tables.
    void MakeInstallation(const std::vector<std::string>& names) {
        PutText("etc/registry.reg",
                "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                    Dir() + "\"\r\n");
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string n = std::to_string(i + 1);
            MakeAccountSet(Sets(), names[i], "账套" + n, "{11111111-2222-3333-4444-55555555555" + n + "}");
            testing::FillDefinitionTables(SetFile(names[i]));
        }
        PutValue(1, 14, testing::StoredFactories({testing::EmbeddedFactory(1, Sets(), names)}));
    }

    // A maker started as Kestrane.exe from a stand-in program of its own folder.
    std::unique_ptr<TManager> NewMaker() {
        const std::string program = Sub("prog") + "/Kestrane.exe";
        if (!std::filesystem::exists(program)) PutText("prog/Kestrane.exe", "MZ stand-in program\n");
        return std::make_unique<TManager>(ui_, program);
    }

    TScriptedInteraction ui_;
    std::unique_ptr<testing::EnvGuard> registry_;
    std::optional<TScopedHeadlessPages> pages_;
};

}  // namespace kestrane::app
