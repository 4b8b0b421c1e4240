// The wizard's pages without a window, registered under the page class names of the page lists, so
// that the command line and the tests drive the same manager and page rules as the window.
#pragma once

namespace kestrane::app {

// Registers (or, with false, removes) the maker's pages, the account-set selection page and the
// installer's folder and organisation-unit pages as models, and plain pages for the welcome, progress and
// finish pages.
void RegisterHeadlessPages(bool add = true);

// The headless pages registered for as long as the object lives.
class TScopedHeadlessPages {
  public:
    TScopedHeadlessPages() { RegisterHeadlessPages(); }
    ~TScopedHeadlessPages() { RegisterHeadlessPages(false); }
    TScopedHeadlessPages(const TScopedHeadlessPages&) = delete;
    TScopedHeadlessPages& operator=(const TScopedHeadlessPages&) = delete;
};

}  // namespace kestrane::app
