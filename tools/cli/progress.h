// Progress of a build or an install on standard error: on a terminal one bar with the current step's
// text, redrawn in place; plain "[position/maximum] text" lines when standard error is a file or a pipe;
// nothing with --json, whose output is the result alone.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "cli.h"
#include "patch/progress.h"

namespace kestrane::cli {

class ProgressView {
  public:
    enum class Style { Bar, Lines, None };

    // Bar when standard error is a terminal that can move its cursor, Lines otherwise, None with --json.
    static Style StyleFor(const Options& options);

    // `columns` is the terminal's width for the bar; 0 asks the terminal.
    explicit ProgressView(Style style, std::ostream& out, int columns = 0);
    explicit ProgressView(const Options& options);
    // Ends the bar's line, so that what follows starts on a line of its own.
    ~ProgressView();
    ProgressView(const ProgressView&) = delete;
    ProgressView& operator=(const ProgressView&) = delete;

    void Report(const std::string& message, int position, int maximum);
    // The runs' progress callback, drawing into this view.
    patch::TProgressEvent Callback();
    void Finish();

  private:
    Style style_;
    std::ostream& out_;
    int columns_;
    bool open_ = false;  // a bar is drawn on the current line
};

// Columns a text takes on a terminal: East Asian wide characters two, others one.
int DisplayWidth(std::string_view utf8);
// The text cut to at most `columns` columns, ending in "…" when something was cut.
std::string FitToColumns(std::string_view utf8, int columns);

}  // namespace kestrane::cli
