// The content designer: the program files, the account-set definitions chosen from the source's
// catalogue, and the run-time requirements of the patch, shown over the designer's model, which
// edits the manager's objects directly.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <cstddef>
#include <optional>
#include <vector>

#include "app/patch_design.h"
#include "gui/design_editors.h"

namespace kestrane::app {
class TManager;
}

namespace kestrane::gui {

class TPatchDesignForm : public QDialog {
    Q_OBJECT

  public:
    explicit TPatchDesignForm(app::TPatchDesignModel& model, QWidget* parent = nullptr);

    // Opens the model on the manager (reading the catalogue; a failure propagates and nothing is
    // shown), then shows it.
    void Open(app::TManager& manager);
    // Shows an opened model in every control; the change reactions rest meanwhile.
    void ShowModel();

    // The node an item of either tree stands for, and the item of a node.
    static app::TDesignTreeNode NodeOf(const QTreeWidgetItem* item);
    static QTreeWidgetItem* ItemOf(QTreeWidget* tree, const app::TDesignTreeNode& node);

    app::TPatchDesignModel& Model;

    QTabWidget* pcDesign;
    QWidget* tsProgram;
    QWidget* tsInstance;
    QWidget* tsConfig;
    QPushButton* btnOk;

    // "程序补丁"
    QToolBar* tbFiles;
    QToolButton* btnAddFile;
    QToolButton* btnDeleteFile;
    QToolButton* btnUp;
    QToolButton* btnDown;
    QListWidget* lbFiles;
    QGroupBox* gbFile;
    QLineEdit* edtResName;
    QLineEdit* edtPath;
    QComboBox* cbExecType;
    QCheckBox* cbExecWaited;
    QLineEdit* edtExecParam;
    QSpinBox* seDelay;
    QGroupBox* gbPrgrmDscrpt;
    QPlainTextEdit* mPrgrmDscrpt;

    // "账套补丁"
    QGroupBox* gbAll;
    QTreeWidget* tvAll;
    QLineEdit* edtQueryAll;
    QGroupBox* gbSelect;
    QTreeWidget* tvSelect;
    QLineEdit* edtQuerySelect;
    QPushButton* btnSelect;
    QPushButton* btnSelectAll;
    QPushButton* btnRemoveAll;
    QPushButton* btnRemove;
    QGroupBox* gbDescription;
    QPlainTextEdit* mDescription;
    QGroupBox* gbScript;
    QLineEdit* edtScriptName;
    QPushButton* btnAddScript;
    // The pop-up of tvSelect, attached while a script category is selected.
    QMenu* pmSelect;
    QAction* miAddScript;
    TDeskFlowFrm* DeskFlowFrm;
    TScriptFrm* ScriptFrm;
    TTableFrm* TableFrm;

    // "配置信息"
    QGroupBox* gbRunTime;
    QLineEdit* FreeMemMB_Edt;
    QLineEdit* FreeDiskMB_Edt;
    QLineEdit* RegInstallEdit;
    QPlainTextEdit* CloseFileNames_Edt;

  protected:
    // Enter in a search field searches; it does not close the dialog.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* BuildProgramTab();
    QWidget* BuildInstanceTab();
    QWidget* BuildConfigTab();
    void Connect();

    // Runs a change reaction unless the dialog is being filled.
    template <class F>
    void React(F&& reaction);
    // Runs a button's operation; an escaped error goes to the default error display.
    template <class F>
    void Act(F&& operation);

    void ShowFiles();
    void ShowFile();
    void ShowAllTree();
    // Rebuilds the chosen tree from the model and selects the model's current node, which the panel
    // beside the trees then shows.
    void ShowSelectTree();
    void SelectChanged(QTreeWidgetItem* item);
    void ShowPanel();
    void AddScript();
    void Find(QTreeWidget* tree, const std::optional<app::TDesignTreeNode>& found);
    std::vector<std::size_t> SelectedRows() const;

    bool filling_ = false;
};

}  // namespace kestrane::gui
