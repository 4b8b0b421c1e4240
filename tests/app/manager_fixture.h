// A temporary folder with a registry file of its own and stand-in executables, for driving the
// manager headless.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/scripted_interaction.h"
#include "common/env_guard.h"
#include "common/temp_folder.h"
#include "patch/component_stream.h"
#include "platform/resources.h"

namespace kestrane::app {

class ManagerFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        patch::RegisterStreamClasses();
        folder_.emplace();
        dir_ = folder_->Root();
        // An empty registry unless a test writes one: nothing from the machine leaks in.
        registry_.emplace("KESTRANE_REGISTRY", Path("registry.reg"));
    }
    void TearDown() override {
        registry_.reset();
        folder_.reset();
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& content) const {
        const std::string path = Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // A stand-in executable carrying the given RCDATA resources.
    std::string MakeExe(const std::string& name,
                        const std::vector<std::pair<std::string, support::Bytes>>& resources = {}) const {
        const std::string path = WriteFile(name, "MZ stand-in program\n");
        if (!resources.empty()) platform::UpdateRcData(path, resources);
        return path;
    }

    std::optional<kestrane::testing::TempFolder> folder_;
    std::optional<kestrane::testing::EnvGuard> registry_;
    std::filesystem::path dir_;
    TScriptedInteraction ui_;
};

}  // namespace kestrane::app
