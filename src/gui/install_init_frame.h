// The installer's organisation-unit page: one drop-down list of units per chosen account set. It
// repeats the step banner on a plain frame, with the rows on a scroll box below it.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QScrollArea>
#include <QWidget>
#include <vector>

#include "app/install_pages.h"
#include "app/page_registry.h"
#include "gui/base_frame.h"
#include "gui/model_page.h"
#include "gui/step_header.h"

namespace kestrane::gui {

class TInstallInitFrame : public TModelPage<app::TInstallInitModel, TBaseFrame>, public StepHeader {
    Q_OBJECT

  public:
    explicit TInstallInitFrame(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    QWidget* BackPanel;
    QScrollArea* BackScrollBox;

    // The caption and the list of each of the model's rows, in the same order: made once when the row
    // first appears and kept, hidden or moved on later visits.
    std::vector<QLabel*> LabelByAccountSet;
    std::vector<QComboBox*> ComboByAccountSet;

  protected:
    void FromModel() override;
    void ToModel() override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void AddRow(const app::TOrgUnitRow& row);
    // The scroll range follows the lowest visible row.
    void FitRows();

    QWidget* rows_;
};

}  // namespace kestrane::gui
