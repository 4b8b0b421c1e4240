#include "gui/install_dir_set_frm.h"

#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

TInstallDirSetFrm::TInstallDirSetFrm(QWidget* parent) : TModelPage(parent) {
    lbDescrip = NewLabel(pnClient, "", "lbDescrip");
    lbDescrip->move(48, 24);
    edtDir = Named(new QLineEdit(pnClient), "edtDir");
    edtDir->setGeometry(48, 80, 353, 21);
    btnBrowse = Named(new QPushButton(ToQt(texts::kBrowse), pnClient), "btnBrowse");
    btnBrowse->setGeometry(408, 80, 49, 21);
    // Tab goes from the field to the wizard's buttons; the folder dialog is for the mouse.
    btnBrowse->setFocusPolicy(Qt::ClickFocus);

    connect(btnBrowse, &QPushButton::clicked, this, [this] { Act([this] { Model.btnBrowseClick(); }); });
    FromModel();
}

const app::TPageClass& TInstallDirSetFrm::PageClass() {
    static const app::TPageClass pageClass{app::pages::TInstallDirSetFrm, &CreatePage<TInstallDirSetFrm>};
    return pageClass;
}

void TInstallDirSetFrm::FromModel() {
    SetLabelText(lbTitle, Model.lbTitle);
    SetLabelText(lbText, Model.lbText);
    SetLabelText(lbDescrip, Model.lbDescrip);
    edtDir->setText(ToQt(Model.edtDir));
}

void TInstallDirSetFrm::ToModel() {
    Model.edtDir = FromQt(edtDir->text());
}

}  // namespace kestrane::gui
