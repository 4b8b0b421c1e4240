// The welcome page of both run modes.
#pragma once

#include <QLabel>
#include <QWidget>

#include "app/page_registry.h"
#include "gui/base_frame.h"

namespace kestrane::gui {

class TMainFrm : public TBaseFrame {
    Q_OBJECT

  public:
    explicit TMainFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;

    QWidget* panelClient;
    QLabel* imgBackground;
    QLabel* lbTitle;
    QLabel* lbText;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceText();
};

}  // namespace kestrane::gui
