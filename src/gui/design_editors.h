// The editor frames of the content designer: each shows the chosen node it was given and stores every
// change into it at once.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QWidget>
#include <string>

#include "gui/qt_text.h"
#include "patch/inst_res_items.h"

namespace kestrane::app {
class TPatchDesignModel;
}

namespace kestrane::gui {

// Loading a node does not count as editing it.
class TNodeEditor : public QWidget {
    Q_OBJECT

  public:
    using QWidget::QWidget;

  protected:
    // Runs `store` unless the frame is being filled.
    template <class F>
    void Store(F&& store) {
        if (!loading_) store();
    }
    struct Loading {
        explicit Loading(TNodeEditor& editor) : editor(editor) { editor.loading_ = true; }
        ~Loading() { editor.loading_ = false; }
        TNodeEditor& editor;
    };
    // The memo's text goes into `member` of the node `node` points to at the time of the change.
    template <class Node>
    void BindMemo(QPlainTextEdit* memo, Node* const& node, std::string Node::*member) {
        connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, &node, member] {
            Store([&] {
                if (node) node->*member = FromQtLines(memo->toPlainText());
            });
        });
    }

  private:
    bool loading_ = false;
};

// The desk-flow chart: the file's path and the button that chooses it.
class TDeskFlowFrm : public TNodeEditor {
    Q_OBJECT

  public:
    explicit TDeskFlowFrm(app::TPatchDesignModel& designer, QWidget* parent = nullptr);
    void SetNode(patch::TNodeItem* node);
    patch::TNodeItem* Node() const { return node_; }

    QLineEdit* edtDir;
    QPushButton* btnOpen;

  private:
    app::TPatchDesignModel& designer_;
    patch::TNodeItem* node_ = nullptr;
};

// A script, a restructuring element or a view: its name, statement type and both variants.
class TScriptFrm : public TNodeEditor {
    Q_OBJECT

  public:
    explicit TScriptFrm(QWidget* parent = nullptr);
    // `kind` is the category of the node: only the two script kinds can be renamed.
    void SetNode(patch::TNodeItem* node, patch::TKVParamNodeType kind);
    patch::TNodeItem* Node() const { return node_; }

    QLineEdit* edtName;
    QComboBox* sqlExecTypeComboBox;
    QPlainTextEdit* mExecTypeExplain;
    QCheckBox* cbDropBeforeCreate;
    QTabWidget* pcScript;
    QPlainTextEdit* mMsSQL;
    QPlainTextEdit* mOracle;

  private:
    patch::TNodeItem* node_ = nullptr;
    patch::TNodeScriptItem* script_ = nullptr;
};

// A table: structure only or with its rows, and per database kind the filter and the statements
// around the copy.
class TTableFrm : public TNodeEditor {
    Q_OBJECT

  public:
    explicit TTableFrm(QWidget* parent = nullptr);
    void SetNode(patch::TNodeItem* node);
    patch::TNodeItem* Node() const { return node_; }

    QLineEdit* edtName;
    QGroupBox* rgTableType;
    QRadioButton* rbData;
    QRadioButton* rbStructure;
    QTabWidget* pcTable;
    QPlainTextEdit* mFilter;
    QPlainTextEdit* mBeforeSQL;
    QPlainTextEdit* mAfterSQL;
    QPlainTextEdit* mFilter2;
    QPlainTextEdit* mBeforeSQL2;
    QPlainTextEdit* mAfterSQL2;

  private:
    patch::TNodeItem* node_ = nullptr;
    patch::TNodeTableItem* table_ = nullptr;
};

}  // namespace kestrane::gui
