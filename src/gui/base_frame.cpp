#include "gui/base_frame.h"

#include <QtGlobal>
#include <stdexcept>

#include "app/manager.h"
#include "gui/qt_text.h"

namespace kestrane::gui {

TBaseFrame::TBaseFrame(QWidget* parent) : QWidget(parent) {
    resize(kWidth, kHeight);
    setFont(WizardFont(12));
}

app::TInteraction& TBaseFrame::Interaction() const {
    if (!Manager) throw std::logic_error("page used before the manager activated it");
    return Manager->Interaction();
}

void ShowEscaped(app::TManager* manager, const std::exception& error) {
    if (manager)
        manager->Interaction().ShowError(error);
    else
        qWarning("%s", error.what());
}

void TBaseFrame::ShowEscaped(const std::exception& error) const {
    gui::ShowEscaped(Manager, error);
}

}  // namespace kestrane::gui
