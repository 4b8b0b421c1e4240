// The account-set page of both run modes: the maker ticks its one source, the installer its targets.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/inst_select_model.h"
#include "app/page_registry.h"
#include "gui/model_page.h"

namespace kestrane::gui {

class TInstSelectFrm : public TModelPage<app::TInstSelectModel> {
    Q_OBJECT

  public:
    explicit TInstSelectFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    QLabel* lbDescrip;
    QGroupBox* gbInstance;
    QToolBar* ToolBar1;
    QToolButton* tbSelAll;
    QToolButton* tbClrAll;
    QToolButton* ToolButton1;
    // One row per account set, ticked when chosen; each row keeps its account set's index.
    QTreeWidget* lvInstance;

  protected:
    void FromModel() override;
    void ToModel() override;

  private:
    QToolButton* NewToolButton(const char* text, const char* name, app::TCheckMode mode);
};

}  // namespace kestrane::gui
