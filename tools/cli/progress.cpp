#include "progress.h"

#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>

#include "support/codepage.h"

namespace kestrane::cli {

namespace {

constexpr int kDefaultColumns = 80;
constexpr int kBarCells = 20;
// Characters of ambiguous width (“”…) take two columns on some terminals: the line keeps a margin, so
// that it never wraps and the next redraw still starts at its beginning.
constexpr int kMargin = 4;

// The code point at `i` and its length in bytes; a byte that starts no valid sequence stands alone.
std::pair<std::uint32_t, std::size_t> Decode(std::string_view s, std::size_t i) {
    std::size_t next = i;
    const long c = support::DecodeUtf8(s, next);
    if (c < 0) return {static_cast<unsigned char>(s[i]), 1};
    return {static_cast<std::uint32_t>(c), next - i};
}

bool Wide(std::uint32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    if (const char* columns = ::getenv("COLUMNS")) {
        const int n = std::atoi(columns);
        if (n > 0) return n;
    }
    return kDefaultColumns;
}

}  // namespace

int DisplayWidth(std::string_view utf8) {
    int width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [c, n] = Decode(utf8, i);
        width += Wide(c) ? 2 : 1;
        i += n;
    }
    return width;
}

std::string FitToColumns(std::string_view utf8, int columns) {
    if (DisplayWidth(utf8) <= columns) return std::string(utf8);
    static constexpr std::string_view kEllipsis = "…";
    std::string out;
    int width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [c, n] = Decode(utf8, i);
        const int w = Wide(c) ? 2 : 1;
        if (width + w > columns - 1) break;
        out.append(utf8.substr(i, n));
        width += w;
        i += n;
    }
    return columns > 0 ? out + std::string(kEllipsis) : out;
}

ProgressView::Style ProgressView::StyleFor(const Options& options) {
    if (options.json) return Style::None;
    const char* term = ::getenv("TERM");
    if (::isatty(STDERR_FILENO) && !(term && std::strcmp(term, "dumb") == 0)) return Style::Bar;
    return Style::Lines;
}

ProgressView::ProgressView(Style style, std::ostream& out, int columns)
    : style_(style),
      out_(out),
      columns_(columns > 0           ? columns
               : style == Style::Bar ? TerminalColumns()
                                     : 0) {}

ProgressView::ProgressView(const Options& options) : ProgressView(StyleFor(options), std::cerr) {}

ProgressView::~ProgressView() {
    Finish();
}

void ProgressView::Report(const std::string& message, int position, int maximum) {
    switch (style_) {
        case Style::None:
            return;
        case Style::Lines:
            out_ << "[" << position << "/" << maximum << "] " << message << '\n';
            return;
        case Style::Bar:
            break;
    }
    const int room = std::max(columns_ - kMargin, 1);
    std::string line;
    if (room >= 2 * kBarCells) {
        const int filled = maximum > 0 ? std::clamp(position, 0, maximum) * kBarCells / maximum : 0;
        const int percent = maximum > 0 ? std::clamp(position, 0, maximum) * 100 / maximum : 0;
        std::string figures = std::to_string(percent) + "%";
        figures.insert(0, 5 - figures.size(), ' ');
        line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
               std::string(static_cast<std::size_t>(kBarCells - filled), '.') + "]" + figures + " ";
    }
    // A line break inside a message would leave the bar's line.
    std::string text = message;
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    line += FitToColumns(text, room - DisplayWidth(line));
    // Back to the line's start, the new text, the rest of the old one erased.
    out_ << '\r' << line << "\x1b[K" << std::flush;
    open_ = true;
}

patch::TProgressEvent ProgressView::Callback() {
    return [this](const void*, patch::TKVParamNodeType, const std::string& message, int position,
                  int maximum) { Report(message, position, maximum); };
}

void ProgressView::Finish() {
    if (!open_) return;
    out_ << '\n' << std::flush;
    open_ = false;
}

}  // namespace kestrane::cli
