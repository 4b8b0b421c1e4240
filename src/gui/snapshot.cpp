#include "gui/snapshot.h"

#include <QApplication>
#include <QPixmap>

#include "gui/main_window.h"
#include "gui/qt_text.h"

namespace kestrane::gui {

bool SaveWidgetPicture(QWidget& widget, const std::string& path) {
    QApplication::processEvents();
    return widget.grab().save(ToQt(path), "PNG");
}

std::string FrontPageName(const QWidget& mainForm) {
    const auto* form = qobject_cast<const TMainForm*>(&mainForm);
    if (!form || !form->FrontPage()) return "-";
    const auto* page = dynamic_cast<const app::TBaseFrame*>(form->FrontPage());
    return page && page->PageClass ? std::string(page->PageClass->ClassName) : "-";
}

}  // namespace kestrane::gui
