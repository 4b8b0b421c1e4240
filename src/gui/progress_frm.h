// The action page: Next on it starts the build or the install, which report here.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QTreeWidget>
#include <cstdint>
#include <string>

#include "app/page_registry.h"
#include "gui/step_base_frm.h"
#include "patch/inst_res_items.h"

namespace kestrane::gui {

class TProgressFrm : public TStepBaseFrm {
    Q_OBJECT

  public:
    explicit TProgressFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;

    // The progress callback of the runs.
    void ProgressChanged(const void* sender, patch::TKVParamNodeType nodeType, const std::string& message,
                         int position, int maximum);
    // The tree lists the program files and every account-set kind the patch carries.
    void RefreshContents();
    // Selects the first top-level node of that type; no match selects nothing.
    void SelectNode(std::uint8_t nodeType);
    void tvListChange(QTreeWidgetItem* node);

    QLabel* lbDescrip;
    QLabel* lbProgressMsg;
    QProgressBar* pbProgress;
    QGroupBox* gbContent;
    QTreeWidget* tvList;
    QSplitter* Splitter1;
    QPlainTextEdit* mDescription;

    // The node type of the last progress report.
    std::uint8_t CurrentNodeType = 0;

  private:
    void AddNode(const std::string& caption, std::uint8_t nodeType);
};

// The node type a tree node carries.
std::uint8_t NodeTypeOf(const QTreeWidgetItem* node);

}  // namespace kestrane::gui
