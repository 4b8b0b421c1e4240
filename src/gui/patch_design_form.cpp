#include "gui/patch_design_form.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/manager.h"
#include "gui/base_frame.h"
#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"
#include "patch/inst_nodes.h"

namespace kestrane::gui {

namespace {

constexpr int kLevelRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kEntryRole = Qt::UserRole + 2;
constexpr int kNodeRole = Qt::UserRole + 3;

QTreeWidgetItem* NewTreeItem(QTreeWidgetItem* parent, const std::string& caption,
                             const app::TDesignTreeNode& node) {
    auto* item = new QTreeWidgetItem(parent, QStringList{ToQt(caption)});
    item->setData(0, kLevelRole, static_cast<int>(node.Level));
    item->setData(0, kKindRole, static_cast<int>(node.Kind));
    item->setData(0, kEntryRole, static_cast<qulonglong>(node.Entry));
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node.Node)));
    return item;
}

QTreeWidgetItem* FindItem(QTreeWidgetItem* item, const app::TDesignTreeNode& node) {
    if (TPatchDesignForm::NodeOf(item) == node) return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem* found = FindItem(item->child(i), node)) return found;
    return nullptr;
}

QTreeWidget* NewTree(QWidget* parent, const char* name) {
    auto* tree = Named(new QTreeWidget(parent), name);
    tree->setHeaderHidden(true);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Long captions scroll instead of being cut short.
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->header()->setStretchLastSection(false);
    return tree;
}

QToolButton* NewToolButton(QToolBar* bar, const char* text, const char* name) {
    auto* button = Named(new QToolButton(bar), name);
    button->setText(ToQt(text));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(button);
    return button;
}

QPushButton* NewButton(QWidget* parent, const char* text, const char* name) {
    auto* button = Named(new QPushButton(ToQt(text), parent), name);
    // Enter in a field presses no button of the dialog.
    button->setAutoDefault(false);
    return button;
}

// The hint above a description memo.
QLabel* NewHint(QWidget* parent) {
    QLabel* hint = NewLabel(parent, texts::kDescriptionHint);
    hint->setWordWrap(true);
    return hint;
}

}  // namespace

TPatchDesignForm::TPatchDesignForm(app::TPatchDesignModel& model, QWidget* parent)
    : QDialog(parent), Model(model) {
    setObjectName(QStringLiteral("TPatchDesignForm"));
    setWindowTitle(ToQt(texts::kDesignCaption));
    setFont(WizardFont(12));
    setModal(true);
    resize(820, 540);

    pcDesign = Named(new QTabWidget(this), "pcDesign");
    tsProgram = BuildProgramTab();
    tsInstance = BuildInstanceTab();
    tsConfig = BuildConfigTab();
    pcDesign->addTab(tsProgram, ToQt(texts::kTabProgram));
    pcDesign->addTab(tsInstance, ToQt(texts::kTabInstance));
    pcDesign->addTab(tsConfig, ToQt(texts::kTabConfig));

    btnOk = Named(new QPushButton(ToQt(texts::kDesignOk), this), "btnOk");
    btnOk->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pcDesign, 1);
    layout->addLayout(buttons);
    // The wrapped hints would otherwise stretch the dialog whenever the panel beside the trees
    // changes; the dialog keeps the size it was given.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(720, 480);
    Connect();
}

QWidget* TPatchDesignForm::BuildProgramTab() {
    auto* tab = Named(new QWidget, "tsProgram");
    tbFiles = Named(new QToolBar(tab), "tbFiles");
    tbFiles->setMovable(false);
    btnAddFile = NewToolButton(tbFiles, texts::kAddFile, "btnAddFile");
    btnDeleteFile = NewToolButton(tbFiles, texts::kDeleteFile, "btnDeleteFile");
    btnUp = NewToolButton(tbFiles, texts::kMoveUp, "btnUp");
    btnDown = NewToolButton(tbFiles, texts::kMoveDown, "btnDown");
    lbFiles = Named(new QListWidget(tab), "lbFiles");
    lbFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* left = new QVBoxLayout;
    left->addWidget(tbFiles);
    left->addWidget(lbFiles, 1);

    gbFile = Named(new QGroupBox(ToQt(texts::kFileGroup), tab), "gbFile");
    auto* fields = new QGridLayout(gbFile);
    edtResName = Named(new QLineEdit(gbFile), "edtResName");
    edtResName->setReadOnly(true);
    edtPath = Named(new QLineEdit(gbFile), "edtPath");
    cbExecType = Named(new QComboBox(gbFile), "cbExecType");
    cbExecWaited = Named(new QCheckBox(ToQt(texts::kExecWaited), gbFile), "cbExecWaited");
    edtExecParam = Named(new QLineEdit(gbFile), "edtExecParam");
    seDelay = Named(new QSpinBox(gbFile), "seDelay");
    seDelay->setRange(0, 1000000);
    const std::pair<const char*, QWidget*> rows[] = {
        {texts::kName, edtResName}, {texts::kRelPath, edtPath},        {texts::kExecType, cbExecType},
        {"", cbExecWaited},         {texts::kExecParam, edtExecParam}, {texts::kDelay, seDelay}};
    int row = 0;
    for (const auto& [caption, control] : rows) {
        if (*caption) fields->addWidget(NewLabel(gbFile, caption), row, 0);
        fields->addWidget(control, row++, 1);
    }
    fields->setColumnStretch(1, 1);

    gbPrgrmDscrpt = Named(new QGroupBox(ToQt(texts::kDescriptionGroup), tab), "gbPrgrmDscrpt");
    auto* description = new QVBoxLayout(gbPrgrmDscrpt);
    description->addWidget(NewHint(gbPrgrmDscrpt));
    mPrgrmDscrpt = Named(new QPlainTextEdit(gbPrgrmDscrpt), "mPrgrmDscrpt");
    description->addWidget(mPrgrmDscrpt, 1);

    auto* right = new QVBoxLayout;
    right->addWidget(gbFile);
    right->addWidget(gbPrgrmDscrpt, 1);
    auto* layout = new QHBoxLayout(tab);
    layout->addLayout(left, 2);
    layout->addLayout(right, 3);

    for (patch::TKVOperateType type : app::TPatchDesignModel::ExecTypes())
        cbExecType->addItem(ToQt(patch::OperateTypeCaption(type)), static_cast<int>(type));
    return tab;
}

QWidget* TPatchDesignForm::BuildInstanceTab() {
    auto* tab = Named(new QWidget, "tsInstance");
    auto treeGroup = [tab](const char* title, const char* groupName, QTreeWidget*& tree, const char* treeName,
                           QLineEdit*& query, const char* queryName) {
        auto* group = Named(new QGroupBox(ToQt(title), tab), groupName);
        tree = NewTree(group, treeName);
        query = Named(new QLineEdit(group), queryName);
        auto* search = new QHBoxLayout;
        search->addWidget(NewLabel(group, texts::kQuery));
        search->addWidget(query, 1);
        auto* layout = new QVBoxLayout(group);
        layout->addWidget(tree, 1);
        layout->addLayout(search);
        return group;
    };
    gbAll = treeGroup(texts::kAllGroup, "gbAll", tvAll, "tvAll", edtQueryAll, "edtQueryAll");
    gbSelect =
        treeGroup(texts::kSelectGroup, "gbSelect", tvSelect, "tvSelect", edtQuerySelect, "edtQuerySelect");

    btnSelect = NewButton(tab, texts::kBtnSelect, "btnSelect");
    btnSelectAll = NewButton(tab, texts::kBtnSelectAll, "btnSelectAll");
    btnRemoveAll = NewButton(tab, texts::kBtnRemoveAll, "btnRemoveAll");
    btnRemove = NewButton(tab, texts::kBtnRemove, "btnRemove");
    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    for (QPushButton* button : {btnSelect, btnSelectAll, btnRemoveAll, btnRemove}) {
        button->setFixedWidth(32);
        moves->addWidget(button);
    }
    moves->addStretch(1);

    gbDescription = Named(new QGroupBox(ToQt(texts::kDescriptionGroup), tab), "gbDescription");
    auto* description = new QVBoxLayout(gbDescription);
    description->addWidget(NewHint(gbDescription));
    mDescription = Named(new QPlainTextEdit(gbDescription), "mDescription");
    description->addWidget(mDescription, 1);

    gbScript = Named(new QGroupBox(ToQt(texts::kScriptGroup), tab), "gbScript");
    auto* script = new QHBoxLayout(gbScript);
    script->addWidget(NewLabel(gbScript, texts::kScriptName));
    edtScriptName = Named(new QLineEdit(gbScript), "edtScriptName");
    script->addWidget(edtScriptName, 1);
    btnAddScript = NewButton(gbScript, texts::kAddScript, "btnAddScript");
    script->addWidget(btnAddScript);

    pmSelect = Named(new QMenu(tvSelect), "pmSelect");
    miAddScript = pmSelect->addAction(ToQt(texts::kAddScriptMenu));
    miAddScript->setObjectName(QStringLiteral("miAddScript"));
    tvSelect->setContextMenuPolicy(Qt::NoContextMenu);

    DeskFlowFrm = new TDeskFlowFrm(Model, tab);
    ScriptFrm = new TScriptFrm(tab);
    TableFrm = new TTableFrm(tab);

    auto* panel = new QVBoxLayout;
    panel->addWidget(gbDescription, 1);
    panel->addWidget(gbScript);
    for (QWidget* frame : {static_cast<QWidget*>(DeskFlowFrm), static_cast<QWidget*>(ScriptFrm),
                           static_cast<QWidget*>(TableFrm)})
        panel->addWidget(frame, 1);
    for (QWidget* hidden : {static_cast<QWidget*>(gbDescription), static_cast<QWidget*>(gbScript),
                            static_cast<QWidget*>(DeskFlowFrm), static_cast<QWidget*>(ScriptFrm),
                            static_cast<QWidget*>(TableFrm)})
        hidden->hide();
    auto* panelWidget = new QWidget(tab);
    panelWidget->setLayout(panel);
    panel->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QHBoxLayout(tab);
    layout->addWidget(gbAll, 4);
    layout->addLayout(moves);
    layout->addWidget(gbSelect, 4);
    layout->addWidget(panelWidget, 6);
    return tab;
}

QWidget* TPatchDesignForm::BuildConfigTab() {
    auto* tab = Named(new QWidget, "tsConfig");
    gbRunTime = Named(new QGroupBox(ToQt(texts::kRunTimeGroup), tab), "gbRunTime");
    auto* grid = new QGridLayout(gbRunTime);
    FreeMemMB_Edt = Named(new QLineEdit(gbRunTime), "FreeMemMB_Edt");
    FreeDiskMB_Edt = Named(new QLineEdit(gbRunTime), "FreeDiskMB_Edt");
    RegInstallEdit = Named(new QLineEdit(gbRunTime), "RegInstallEdit");
    CloseFileNames_Edt = Named(new QPlainTextEdit(gbRunTime), "CloseFileNames_Edt");
    for (QLineEdit* number : {FreeMemMB_Edt, FreeDiskMB_Edt}) number->setFixedWidth(90);

    grid->addWidget(NewLabel(gbRunTime, texts::kFreeMem), 0, 0);
    grid->addWidget(FreeMemMB_Edt, 0, 1);
    grid->addWidget(NewLabel(gbRunTime, texts::kFreeMemNote), 0, 2);
    grid->addWidget(NewLabel(gbRunTime, texts::kFreeDisk), 1, 0);
    grid->addWidget(FreeDiskMB_Edt, 1, 1);
    grid->addWidget(NewLabel(gbRunTime, texts::kFreeDiskNote), 1, 2);
    grid->addWidget(NewLabel(gbRunTime, texts::kRegInstallPath), 2, 0);
    grid->addWidget(RegInstallEdit, 2, 1, 1, 2);
    grid->addWidget(NewLabel(gbRunTime, texts::kCloseFileNames), 3, 0, Qt::AlignTop);
    grid->addWidget(CloseFileNames_Edt, 3, 1, 1, 2);
    QLabel* note = NewLabel(gbRunTime, texts::kCloseFileNamesNote);
    note->setWordWrap(true);
    grid->addWidget(note, 4, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(3, 1);

    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(gbRunTime, 1);
    return tab;
}

template <class F>
void TPatchDesignForm::React(F&& reaction) {
    if (!filling_) Act(reaction);
}

template <class F>
void TPatchDesignForm::Act(F&& operation) {
    try {
        operation();
    } catch (const std::exception& error) {
        ShowEscaped(Model.Manager, error);
    }
}

namespace {

// Suspends the change reactions while the controls are being filled; nests.
struct Filling {
    explicit Filling(bool& flag) : flag(flag), was(flag) { flag = true; }
    ~Filling() { flag = was; }
    bool& flag;
    bool was;
};

}  // namespace

void TPatchDesignForm::Connect() {
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    // "程序补丁"
    connect(btnAddFile, &QToolButton::clicked, this, [this] {
        Act([this] {
            if (Model.btnAddFileClick()) ShowFiles();
        });
    });
    connect(btnDeleteFile, &QToolButton::clicked, this, [this] {
        Act([this] {
            Model.btnDeleteFileClick(SelectedRows());
            ShowFiles();
        });
    });
    auto move = [this](bool up) {
        Act([this, up] {
            const int row = lbFiles->currentRow();
            if (row < 0) return;
            const auto at = static_cast<std::size_t>(row);
            const std::size_t moved = up ? Model.btnUpClick(at) : Model.btnDownClick(at);
            ShowFiles();
            // The moved file stays the chosen one.
            lbFiles->setCurrentRow(static_cast<int>(moved));
        });
    };
    connect(btnUp, &QToolButton::clicked, this, [move] { move(true); });
    connect(btnDown, &QToolButton::clicked, this, [move] { move(false); });
    connect(lbFiles, &QListWidget::currentRowChanged, this, [this](int row) {
        React([this, row] {
            if (row < 0) return;
            Model.lbFilesClick(static_cast<std::size_t>(row));
            ShowFile();
        });
    });
    connect(edtPath, &QLineEdit::textChanged, this,
            [this](const QString& text) { React([&] { Model.edtPathChange(FromQt(text)); }); });
    connect(cbExecType, &QComboBox::currentIndexChanged, this, [this] {
        React([this] {
            Model.cbExecTypeChange(static_cast<patch::TKVOperateType>(cbExecType->currentData().toInt()));
            ShowFile();
        });
    });
    connect(cbExecWaited, &QCheckBox::toggled, this,
            [this](bool checked) { React([&] { Model.cbExecWaitedClick(checked); }); });
    connect(edtExecParam, &QLineEdit::textChanged, this,
            [this](const QString& text) { React([&] { Model.edtExecParamChange(FromQt(text)); }); });
    connect(seDelay, &QSpinBox::valueChanged, this,
            [this](int value) { React([&] { Model.seDelayChange(value); }); });
    connect(mPrgrmDscrpt, &QPlainTextEdit::textChanged, this, [this] {
        React([this] { Model.mPrgrmDscrptChange(FromQtLines(mPrgrmDscrpt->toPlainText())); });
    });

    // "账套补丁"
    auto select = [this](QTreeWidgetItem* item) {
        Act([this, item] {
            if (!item) return;
            Model.btnSelectClick(NodeOf(item));
            ShowSelectTree();
        });
    };
    auto remove = [this](QTreeWidgetItem* item) {
        Act([this, item] {
            if (!item) return;
            Model.btnRemoveClick(NodeOf(item));
            ShowSelectTree();
        });
    };
    connect(btnSelect, &QPushButton::clicked, this, [this, select] { select(tvAll->currentItem()); });
    connect(tvAll, &QTreeWidget::itemDoubleClicked, this, [select](QTreeWidgetItem* item) { select(item); });
    connect(btnRemove, &QPushButton::clicked, this, [this, remove] { remove(tvSelect->currentItem()); });
    connect(tvSelect, &QTreeWidget::itemDoubleClicked, this,
            [remove](QTreeWidgetItem* item) { remove(item); });
    connect(btnSelectAll, &QPushButton::clicked, this, [this] {
        Act([this] {
            Model.btnSelectAllClick();
            ShowSelectTree();
        });
    });
    connect(btnRemoveAll, &QPushButton::clicked, this, [this] {
        Act([this] {
            Model.btnRemoveAllClick();
            ShowSelectTree();
        });
    });
    connect(tvSelect, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (!filling_) SelectChanged(current);
    });
    connect(mDescription, &QPlainTextEdit::textChanged, this, [this] {
        React([this] { Model.mDescriptionChange(FromQtLines(mDescription->toPlainText())); });
    });
    connect(edtScriptName, &QLineEdit::textChanged, this,
            [this](const QString& text) { React([&] { Model.edtScriptName = FromQt(text); }); });
    connect(btnAddScript, &QPushButton::clicked, this, [this] { AddScript(); });
    connect(miAddScript, &QAction::triggered, this, [this] { AddScript(); });
    connect(tvSelect, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmSelect->popup(tvSelect->viewport()->mapToGlobal(at)); });
    edtQueryAll->installEventFilter(this);
    edtQuerySelect->installEventFilter(this);

    // "配置信息"
    connect(FreeMemMB_Edt, &QLineEdit::textChanged, this,
            [this](const QString& text) { React([&] { Model.FreeMemMB_EdtChange(FromQt(text)); }); });
    connect(FreeDiskMB_Edt, &QLineEdit::textChanged, this,
            [this](const QString& text) { React([&] { Model.FreeDiskMB_EdtChange(FromQt(text)); }); });
    connect(RegInstallEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { React([&] { Model.RegInstallEditChange(FromQt(text)); }); });
    connect(CloseFileNames_Edt, &QPlainTextEdit::textChanged, this, [this] {
        React([this] { Model.CloseFileNames_EdtChange(FromQtLines(CloseFileNames_Edt->toPlainText())); });
    });
}

bool TPatchDesignForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == edtQueryAll || watched == edtQuerySelect)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Act([this, watched] {
                if (watched == edtQueryAll)
                    Find(tvAll, Model.FindInAll(FromQt(edtQueryAll->text())));
                else
                    Find(tvSelect, Model.FindInSelect(FromQt(edtQuerySelect->text())));
            });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TPatchDesignForm::Open(app::TManager& manager) {
    Model.Open(manager);
    ShowModel();
}

void TPatchDesignForm::ShowModel() {
    const Filling filling(filling_);
    pcDesign->setTabVisible(pcDesign->indexOf(tsProgram), Model.tsProgramVisible);
    pcDesign->setTabVisible(pcDesign->indexOf(tsInstance), Model.tsInstanceVisible);
    pcDesign->setCurrentWidget(Model.ProgramTabActive || !Model.tsInstanceVisible ? tsProgram : tsInstance);
    if (!Model.tsProgramVisible && !Model.tsInstanceVisible) pcDesign->setCurrentWidget(tsConfig);

    ShowFiles();
    mPrgrmDscrpt->setPlainText(ToQt(Model.mPrgrmDscrpt));
    ShowAllTree();
    ShowSelectTree();

    FreeMemMB_Edt->setText(ToQt(Model.FreeMemMB_Edt));
    FreeDiskMB_Edt->setText(ToQt(Model.FreeDiskMB_Edt));
    RegInstallEdit->setText(ToQt(Model.RegInstallEdit));
    CloseFileNames_Edt->setPlainText(ToQt(Model.CloseFileNames_Edt));
}

std::vector<std::size_t> TPatchDesignForm::SelectedRows() const {
    std::vector<std::size_t> rows;
    for (const QListWidgetItem* item : lbFiles->selectedItems())
        rows.push_back(static_cast<std::size_t>(lbFiles->row(item)));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TPatchDesignForm::ShowFiles() {
    const Filling filling(filling_);
    lbFiles->clear();
    for (const patch::TResItem* file : Model.lbFiles) lbFiles->addItem(ToQt(file->Name));
    const auto current = std::find(Model.lbFiles.begin(), Model.lbFiles.end(), Model.CurrentFile);
    if (current != Model.lbFiles.end())
        lbFiles->setCurrentRow(static_cast<int>(current - Model.lbFiles.begin()));
    ShowFile();
}

void TPatchDesignForm::ShowFile() {
    const Filling filling(filling_);
    edtResName->setText(ToQt(Model.edtResName));
    edtPath->setText(ToQt(Model.edtPath));
    cbExecType->setCurrentIndex(cbExecType->findData(static_cast<int>(Model.cbExecType)));
    cbExecWaited->setChecked(Model.cbExecWaited);
    edtExecParam->setText(ToQt(Model.edtExecParam));
    seDelay->setValue(Model.seDelay);
    for (QWidget* control : {static_cast<QWidget*>(cbExecWaited), static_cast<QWidget*>(edtExecParam),
                             static_cast<QWidget*>(seDelay)})
        control->setEnabled(Model.ExecControlsEnabled);
}

void TPatchDesignForm::ShowAllTree() {
    const Filling filling(filling_);
    tvAll->clear();
    auto* root = new QTreeWidgetItem(tvAll, QStringList{ToQt(texts::kAllRoot)});
    root->setData(0, kLevelRole, static_cast<int>(app::dlRoot));
    for (patch::TKVParamNodeType kind : app::TPatchDesignModel::AllCategories()) {
        QTreeWidgetItem* category =
            NewTreeItem(root, patch::ParamNodeTypeCaption(kind), app::TDesignTreeNode::Category(kind));
        for (std::size_t entry : Model.Candidates(kind))
            NewTreeItem(category, Model.Catalogue[entry].Caption,
                        app::TDesignTreeNode::Candidate(kind, entry));
    }
    root->setExpanded(true);
}

void TPatchDesignForm::ShowSelectTree() {
    QTreeWidgetItem* current = nullptr;
    {
        const Filling filling(filling_);
        const app::TDesignTreeNode wanted = Model.CurrentNode;
        tvSelect->clear();
        auto* root = new QTreeWidgetItem(tvSelect, QStringList{ToQt(texts::kSelectRoot)});
        root->setData(0, kLevelRole, static_cast<int>(app::dlRoot));
        for (patch::TKVParamNodeType kind : app::TPatchDesignModel::SelectCategories()) {
            QTreeWidgetItem* category =
                NewTreeItem(root, patch::ParamNodeTypeCaption(kind), app::TDesignTreeNode::Category(kind));
            for (const app::TChosenLeaf& leaf : Model.Chosen(kind))
                NewTreeItem(category, leaf.Caption, app::TDesignTreeNode::Chosen(kind, leaf.Node));
            category->setExpanded(true);
        }
        root->setExpanded(true);
        if (wanted.Level != app::dlRoot) current = ItemOf(tvSelect, wanted);
        tvSelect->setCurrentItem(current);
    }
    SelectChanged(current);
}

void TPatchDesignForm::SelectChanged(QTreeWidgetItem* item) {
    Act([this, item] {
        Model.tvSelectChange(item ? NodeOf(item) : app::TDesignTreeNode::Root());
        ShowPanel();
    });
}

void TPatchDesignForm::ShowPanel() {
    const Filling filling(filling_);
    gbDescription->setVisible(Model.DescriptionVisible);
    mDescription->setPlainText(ToQt(Model.mDescription));
    gbScript->setVisible(Model.ScriptGroupVisible);
    edtScriptName->setText(ToQt(Model.edtScriptName));
    tvSelect->setContextMenuPolicy(Model.PopupAttached ? Qt::CustomContextMenu : Qt::NoContextMenu);
    // Frames let go of their node when hidden: it may be removed meanwhile.
    patch::TNodeItem* node = Model.CurrentNode.Node;
    DeskFlowFrm->SetNode(Model.Editor == app::deDeskFlow ? node : nullptr);
    ScriptFrm->SetNode(Model.Editor == app::deScript ? node : nullptr, Model.CurrentNode.Kind);
    TableFrm->SetNode(Model.Editor == app::deTable ? node : nullptr);
    DeskFlowFrm->setVisible(Model.Editor == app::deDeskFlow);
    ScriptFrm->setVisible(Model.Editor == app::deScript);
    TableFrm->setVisible(Model.Editor == app::deTable);
}

void TPatchDesignForm::AddScript() {
    Act([this] {
        if (Model.btnAddScriptClick()) ShowSelectTree();
    });
}

void TPatchDesignForm::Find(QTreeWidget* tree, const std::optional<app::TDesignTreeNode>& found) {
    if (!found) return;
    QTreeWidgetItem* item = ItemOf(tree, *found);
    if (!item) return;
    tree->setCurrentItem(item);
    tree->scrollToItem(item);
    tree->setFocus();
}

app::TDesignTreeNode TPatchDesignForm::NodeOf(const QTreeWidgetItem* item) {
    if (!item) return app::TDesignTreeNode::Root();
    app::TDesignTreeNode node;
    node.Level = static_cast<app::TDesignLevel>(item->data(0, kLevelRole).toInt());
    if (node.Level == app::dlRoot) return app::TDesignTreeNode::Root();
    node.Kind = static_cast<patch::TKVParamNodeType>(item->data(0, kKindRole).toInt());
    node.Entry = static_cast<std::size_t>(item->data(0, kEntryRole).toULongLong());
    node.Node = reinterpret_cast<patch::TNodeItem*>(item->data(0, kNodeRole).value<quintptr>());
    return node;
}

QTreeWidgetItem* TPatchDesignForm::ItemOf(QTreeWidget* tree, const app::TDesignTreeNode& node) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* found = FindItem(tree->topLevelItem(i), node)) return found;
    return nullptr;
}

}  // namespace kestrane::gui
