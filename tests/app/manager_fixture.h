// A temporary folder with a registry file of its own and stand-in executables, for driving the
// manager headless.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/scripted_interaction.h"
#include "patch/component_stream.h"
#include "platform/resources.h"

namespace kestrane::app {

class ManagerFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        patch::RegisterStreamClasses();
        std::string tmpl = (std::filesystem::temp_directory_path() / "manager_XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        // An empty registry unless a test writes one: nothing from the machine leaks in.
        setenv("KESTRANE_REGISTRY", Path("registry.reg").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("KESTRANE_REGISTRY");
        std::filesystem::remove_all(dir_);
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

    std::filesystem::path dir_;
    TScriptedInteraction ui_;
};

}  // namespace kestrane::app
