#include "gui/design_editors.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <array>

#include "app/patch_design.h"
#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"
#include "patch/inst_nodes.h"

namespace kestrane::gui {

namespace {

QPlainTextEdit* NewMemo(QWidget* parent, const char* name) {
    auto* memo = Named(new QPlainTextEdit(parent), name);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}

void Show(QPlainTextEdit* memo, const std::string& text) {
    memo->setPlainText(ToQt(text));
}

}  // namespace

// ---- TDeskFlowFrm ----

TDeskFlowFrm::TDeskFlowFrm(app::TPatchDesignModel& designer, QWidget* parent)
    : TNodeEditor(parent), designer_(designer) {
    setObjectName(QStringLiteral("TDeskFlowFrm"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(NewLabel(this, texts::kDeskFlowFile), 0, 0, 1, 2);
    edtDir = Named(new QLineEdit(this), "edtDir");
    edtDir->setReadOnly(true);
    layout->addWidget(edtDir, 1, 0);
    btnOpen = Named(new QPushButton(ToQt(texts::kDeskFlowOpen), this), "btnOpen");
    layout->addWidget(btnOpen, 1, 1);
    layout->setRowStretch(2, 1);
    connect(btnOpen, &QPushButton::clicked, this, [this] {
        if (node_ && designer_.btnOpenDeskFlowClick(*node_)) edtDir->setText(ToQt(node_->Text));
    });
}

void TDeskFlowFrm::SetNode(patch::TNodeItem* node) {
    node_ = node;
    edtDir->setText(node ? ToQt(node->Text) : QString());
}

// ---- TScriptFrm ----

TScriptFrm::TScriptFrm(QWidget* parent) : TNodeEditor(parent) {
    setObjectName(QStringLiteral("TScriptFrm"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(NewLabel(this, texts::kName), 0, 0);
    edtName = Named(new QLineEdit(this), "edtName");
    layout->addWidget(edtName, 0, 1, 1, 2);
    layout->addWidget(NewLabel(this, texts::kSqlExecType), 1, 0);
    sqlExecTypeComboBox = Named(new QComboBox(this), "sqlExecTypeComboBox");
    for (patch::TKVSQLExecType type : {patch::seCheck, patch::seExc})
        sqlExecTypeComboBox->addItem(ToQt(patch::SQLExecTypeCaption(type)), static_cast<int>(type));
    layout->addWidget(sqlExecTypeComboBox, 1, 1);
    cbDropBeforeCreate = Named(new QCheckBox(ToQt(texts::kDropBeforeCreate), this), "cbDropBeforeCreate");
    layout->addWidget(cbDropBeforeCreate, 1, 2);
    mExecTypeExplain = Named(new QPlainTextEdit(ToQt(texts::kSqlExecExplain), this), "mExecTypeExplain");
    mExecTypeExplain->setReadOnly(true);
    mExecTypeExplain->setFixedHeight(92);
    layout->addWidget(mExecTypeExplain, 2, 0, 1, 3);
    pcScript = Named(new QTabWidget(this), "pcScript");
    mMsSQL = NewMemo(pcScript, "mMsSQL");
    mOracle = NewMemo(pcScript, "mOracle");
    pcScript->addTab(mMsSQL, ToQt(texts::kTabMsSql));
    pcScript->addTab(mOracle, ToQt(texts::kTabOracleSql));
    layout->addWidget(pcScript, 3, 0, 1, 3);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);

    connect(edtName, &QLineEdit::textChanged, this, [this](const QString& text) {
        Store([&] {
            if (node_ && !edtName->isReadOnly()) node_->Caption = FromQt(text);
        });
    });
    connect(sqlExecTypeComboBox, &QComboBox::currentIndexChanged, this, [this] {
        Store([this] {
            if (script_)
                script_->SQLExecType =
                    static_cast<patch::TKVSQLExecType>(sqlExecTypeComboBox->currentData().toInt());
        });
    });
    connect(cbDropBeforeCreate, &QCheckBox::toggled, this, [this](bool checked) {
        Store([&] {
            if (script_) script_->DropBeforeCreate = checked;
        });
    });
    BindMemo(mMsSQL, node_, &patch::TNodeItem::Text);
    BindMemo(mOracle, script_, &patch::TNodeScriptItem::Text2);
}

void TScriptFrm::SetNode(patch::TNodeItem* node, patch::TKVParamNodeType kind) {
    const Loading loading(*this);
    node_ = node;
    script_ = dynamic_cast<patch::TNodeScriptItem*>(node);
    edtName->setText(node ? ToQt(node->Caption) : QString());
    edtName->setReadOnly(!app::TPatchDesignModel::ScriptNameEditable(kind));
    sqlExecTypeComboBox->setCurrentIndex(script_ && script_->SQLExecType == patch::seCheck ? 0 : 1);
    cbDropBeforeCreate->setChecked(script_ && script_->DropBeforeCreate);
    Show(mMsSQL, node ? node->Text : std::string());
    Show(mOracle, script_ ? script_->Text2 : std::string());
    // A plain node has one variant only.
    for (QWidget* control : {static_cast<QWidget*>(sqlExecTypeComboBox),
                             static_cast<QWidget*>(cbDropBeforeCreate), static_cast<QWidget*>(mOracle)})
        control->setEnabled(script_ != nullptr);
    pcScript->setCurrentIndex(0);
}

// ---- TTableFrm ----

TTableFrm::TTableFrm(QWidget* parent) : TNodeEditor(parent) {
    setObjectName(QStringLiteral("TTableFrm"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(NewLabel(this, texts::kTableName), 0, 0);
    edtName = Named(new QLineEdit(this), "edtName");
    edtName->setReadOnly(true);
    layout->addWidget(edtName, 0, 1);

    rgTableType = Named(new QGroupBox(ToQt(texts::kTableTypeGroup), this), "rgTableType");
    auto* types = new QHBoxLayout(rgTableType);
    rbData = Named(new QRadioButton(ToQt(patch::TableTypeCaption(patch::ttData)), rgTableType), "rbData");
    rbStructure = Named(new QRadioButton(ToQt(patch::TableTypeCaption(patch::ttStructure)), rgTableType),
                        "rbStructure");
    types->addWidget(rbData);
    types->addWidget(rbStructure);
    types->addStretch(1);
    layout->addWidget(rgTableType, 1, 0, 1, 2);

    pcTable = Named(new QTabWidget(this), "pcTable");
    auto addTab = [this](const char* caption, const char* names[3]) {
        auto* tab = new QWidget(pcTable);
        auto* memos = new QVBoxLayout(tab);
        memos->setContentsMargins(4, 4, 4, 4);
        std::array<QPlainTextEdit*, 3> made{};
        const char* labels[3] = {texts::kTableFilter, texts::kTableBeforeSQL, texts::kTableAfterSQL};
        for (int i = 0; i < 3; ++i) {
            memos->addWidget(NewLabel(tab, labels[i]));
            made[static_cast<std::size_t>(i)] = NewMemo(tab, names[i]);
            memos->addWidget(made[static_cast<std::size_t>(i)], 1);
        }
        pcTable->addTab(tab, ToQt(caption));
        return made;
    };
    const char* msNames[3] = {"mFilter", "mBeforeSQL", "mAfterSQL"};
    const char* oraNames[3] = {"mFilter2", "mBeforeSQL2", "mAfterSQL2"};
    const auto ms = addTab(texts::kTabMsSql, msNames);
    const auto ora = addTab(texts::kTabOracleSql, oraNames);
    mFilter = ms[0];
    mBeforeSQL = ms[1];
    mAfterSQL = ms[2];
    mFilter2 = ora[0];
    mBeforeSQL2 = ora[1];
    mAfterSQL2 = ora[2];
    layout->addWidget(pcTable, 2, 0, 1, 2);
    layout->setRowStretch(2, 1);

    connect(rbStructure, &QRadioButton::toggled, this, [this](bool checked) {
        Store([&] {
            if (node_) node_->TableType = checked ? patch::ttStructure : patch::ttData;
        });
    });
    BindMemo(mFilter, node_, &patch::TNodeItem::Text);
    BindMemo(mBeforeSQL, node_, &patch::TNodeItem::BeforeSQL);
    BindMemo(mAfterSQL, node_, &patch::TNodeItem::AfterSQL);
    BindMemo(mFilter2, table_, &patch::TNodeTableItem::Text2);
    BindMemo(mBeforeSQL2, table_, &patch::TNodeTableItem::BeforeSQL2);
    BindMemo(mAfterSQL2, table_, &patch::TNodeTableItem::AfterSQL2);
}

void TTableFrm::SetNode(patch::TNodeItem* node) {
    const Loading loading(*this);
    node_ = node;
    table_ = dynamic_cast<patch::TNodeTableItem*>(node);
    edtName->setText(node ? ToQt(node->Caption) : QString());
    (node && node->TableType == patch::ttStructure ? rbStructure : rbData)->setChecked(true);
    Show(mFilter, node ? node->Text : std::string());
    Show(mBeforeSQL, node ? node->BeforeSQL : std::string());
    Show(mAfterSQL, node ? node->AfterSQL : std::string());
    Show(mFilter2, table_ ? table_->Text2 : std::string());
    Show(mBeforeSQL2, table_ ? table_->BeforeSQL2 : std::string());
    Show(mAfterSQL2, table_ ? table_->AfterSQL2 : std::string());
    for (QPlainTextEdit* memo : {mFilter2, mBeforeSQL2, mAfterSQL2}) memo->setEnabled(table_ != nullptr);
    pcTable->setCurrentIndex(0);
}

}  // namespace kestrane::gui
