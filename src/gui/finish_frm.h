// The last page: the outcome of the build or the install, the detail log and the database repair.
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>

#include "app/page_registry.h"
#include "gui/base_frame.h"
#include "support/kv_types.h"

namespace kestrane::gui {

class TFinishFrm : public TBaseFrame {
    Q_OBJECT

  public:
    explicit TFinishFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;

    // Shows the manager's detail log in a modal window.
    void btnDetailClick();
    // Repairs the account sets app gives for the repair after the user agreed; raises what the repair
    // raises, with the page restored.
    void btnRepairDBClick();

    QWidget* panelClient;
    QLabel* imgBackground;
    QLabel* lbTitle;
    QLabel* lbText;
    QPushButton* btnDetail;
    QPushButton* btnRepairDB;
    QProgressBar* ProgressBar1;

    // The repair of one account set; replaceable so the repair can be watched.
    std::function<void(const std::string& DBName, const support::TDBInfoRec& DBInfo)> RepairDatabase;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Advance(int steps, int waitMs);
};

}  // namespace kestrane::gui
