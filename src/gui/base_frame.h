// The toolkit side of a wizard page: a widget that carries the page contract. Every page class of the
// wizard derives from it.
#pragma once

#include <QWidget>

#include "app/page_contract.h"

namespace kestrane::app {
class TInteraction;
class TManager;
}  // namespace kestrane::app

namespace kestrane::gui {

// An error no handler took: shown by the manager's default error display, or warned of without one.
void ShowEscaped(app::TManager* manager, const std::exception& error);

class TBaseFrame : public QWidget, public app::TBaseFrame {
    Q_OBJECT

  public:
    // Design size of a page; the main window stretches it over its client area.
    static constexpr int kWidth = 496;
    static constexpr int kHeight = 312;

    explicit TBaseFrame(QWidget* parent = nullptr);

  protected:
    // The interaction of the manager; pages reach the user only through it.
    app::TInteraction& Interaction() const;
    // Runs a click handler: an exception that escapes it goes to the default error display.
    template <class F>
    void Guarded(F&& handler);

  private:
    void ShowEscaped(const std::exception& error) const;
};

template <class F>
void TBaseFrame::Guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        ShowEscaped(error);
    }
}

// A page class for the registry: `Page` must be default-constructible.
template <class Page>
std::unique_ptr<app::TBaseFrame> CreatePage() {
    return std::make_unique<Page>();
}

}  // namespace kestrane::gui
