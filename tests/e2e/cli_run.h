// Runs the built kestrane-cli as a user would: arguments shell-quoted, standard input from a file,
// standard output and error captured apart.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/temp_folder.h"

namespace kestrane::testing {

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline std::string ShellQuote(const std::string& arg) {
    std::string r = "'";
    for (char c : arg) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r + "'";
}

// `scratch` is a folder (ending in "/") for the input and error files.
inline CliRun RunCli(const std::vector<std::string>& args, const std::string& scratch,
                     const std::string& input = "") {
    const std::string in = scratch + "cli-stdin", err = scratch + "cli-stderr";
    { std::ofstream(in, std::ios::binary) << input; }
    std::string command = ShellQuote(KESTRANE_CLI);
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " <" + ShellQuote(in) + " 2>" + ShellQuote(err);
    CliRun r;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
    const int rc = ::pclose(pipe);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.err = Slurp(err);
    return r;
}

}  // namespace kestrane::testing
