#include "gui/install_init_frame.h"

#include <algorithm>

#include "gui/controls.h"
#include "gui/qt_text.h"

namespace kestrane::gui {

namespace {

constexpr int kBottomMargin = 8;

QRect RectOf(const app::TControlBounds& b) {
    return {b.Left, b.Top, b.Width, b.Height};
}

}  // namespace

TInstallInitFrame::TInstallInitFrame(QWidget* parent)
    : TModelPage(parent), StepHeader(BuildStepHeader(this)) {
    BackPanel = Named(new QWidget(this), "BackPanel");
    BackScrollBox = Named(new QScrollArea(BackPanel), "BackScrollBox");
    BackScrollBox->setFrameShape(QFrame::NoFrame);
    BackScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    BackScrollBox->setWidgetResizable(false);
    rows_ = Named(new QWidget, "rows");
    BackScrollBox->setWidget(rows_);
    TInstallInitFrame::resizeEvent(nullptr);
    FromModel();
}

const app::TPageClass& TInstallInitFrame::PageClass() {
    static const app::TPageClass pageClass{app::pages::TInstallInitFrame, &CreatePage<TInstallInitFrame>};
    return pageClass;
}

void TInstallInitFrame::AddRow(const app::TOrgUnitRow& row) {
    QLabel* label = NewLabel(rows_, row.Label.Caption);
    auto* combo = new QComboBox(rows_);
    for (const std::string& item : row.Combo.Items) combo->addItem(ToQt(item));
    // The user's choice is the model's at once, so that it outlives a step back.
    connect(combo, &QComboBox::activated, this, [this] { ToModel(); });
    LabelByAccountSet.push_back(label);
    ComboByAccountSet.push_back(combo);
}

void TInstallInitFrame::FromModel() {
    SetLabelText(lbTitle, Model.lbTitle);
    SetLabelText(lbText, Model.lbText);
    const std::vector<app::TOrgUnitRow>& rows = Model.Rows;
    for (std::size_t i = LabelByAccountSet.size(); i < rows.size(); ++i) AddRow(rows[i]);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QLabel* label = LabelByAccountSet[i];
        QComboBox* combo = ComboByAccountSet[i];
        // The caption's own line height: the CJK font is taller than the row's design height.
        QRect at = RectOf(rows[i].Label.Bounds);
        at.setHeight(std::max(at.height(), label->sizeHint().height()));
        label->setGeometry(at);
        label->setVisible(rows[i].Label.Visible);
        combo->setGeometry(RectOf(rows[i].Combo.Bounds));
        combo->setCurrentIndex(rows[i].Combo.ItemIndex);
        combo->setVisible(rows[i].Combo.Visible);
    }
    FitRows();
}

void TInstallInitFrame::ToModel() {
    std::vector<app::TOrgUnitRow>& rows = Model.Rows;
    for (std::size_t i = 0; i < std::min(rows.size(), ComboByAccountSet.size()); ++i)
        rows[i].Combo.ItemIndex = ComboByAccountSet[i]->currentIndex();
}

void TInstallInitFrame::FitRows() {
    int bottom = 0;
    for (std::size_t i = 0; i < ComboByAccountSet.size(); ++i)
        if (!ComboByAccountSet[i]->isHidden())
            bottom = std::max(bottom, ComboByAccountSet[i]->geometry().bottom() + 1);
    rows_->resize(BackScrollBox->viewport()->width(), bottom + kBottomMargin);
}

void TInstallInitFrame::resizeEvent(QResizeEvent*) {
    PlaceStepHeader(*this, width());
    BackPanel->setGeometry(0, StepHeader::kHeight, width(), height() - StepHeader::kHeight);
    BackScrollBox->setGeometry(BackPanel->rect());
    FitRows();
}

}  // namespace kestrane::gui
