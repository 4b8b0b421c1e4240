#include "gui/patch_type_set_frm.h"

#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

TPatchTypeSetFrm::TPatchTypeSetFrm(QWidget* parent) : TModelPage(parent) {
    lbDescrip = NewLabel(pnClient, "", "lbDescrip");
    lbDescrip->move(48, 12);

    rgPatchType = Named(new QGroupBox(ToQt(texts::kPatchTypeGroup), pnClient), "rgPatchType");
    rgPatchType->setGeometry(48, 40, 409, 56);
    rbProgram = Named(new QRadioButton(ToQt(texts::kRbProgram), rgPatchType), "rbProgram");
    rbInstance = Named(new QRadioButton(ToQt(texts::kRbInstance), rgPatchType), "rbInstance");
    rbBoth = Named(new QRadioButton(ToQt(texts::kRbBoth), rgPatchType), "rbBoth");
    rbProgram->move(16, 24);
    rbInstance->move(136, 24);
    rbBoth->move(256, 24);
    rbBoth->setChecked(true);

    cbNotCheckVersion = Named(new QCheckBox(ToQt(texts::kCbNotCheckVersion), pnClient), "cbNotCheckVersion");
    cbNotUpdateVersion =
        Named(new QCheckBox(ToQt(texts::kCbNotUpdateVersion), pnClient), "cbNotUpdateVersion");
    cbNotBackup = Named(new QCheckBox(ToQt(texts::kCbNotBackup), pnClient), "cbNotBackup");
    cbNotCheckVersion->move(64, 108);
    cbNotUpdateVersion->move(64, 132);
    cbNotBackup->move(64, 156);
    // Sized to their captions in the CJK font: a click beside a caption is no click on it.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             rbProgram, rbInstance, rbBoth, cbNotCheckVersion, cbNotUpdateVersion, cbNotBackup})
        button->adjustSize();

    Label1 = NewLabel(pnClient, texts::kRegInstallPath, "Label1");
    Label1->move(48, 196);
    RegInstallEdit = Named(new QLineEdit(pnClient), "RegInstallEdit");
    RegInstallEdit->setGeometry(172, 192, 285, 21);
    FromModel();
}

const app::TPageClass& TPatchTypeSetFrm::PageClass() {
    static const app::TPageClass pageClass{app::pages::TPatchTypeSetFrm, &CreatePage<TPatchTypeSetFrm>};
    return pageClass;
}

void TPatchTypeSetFrm::FromModel() {
    SetLabelText(lbTitle, Model.lbTitle);
    SetLabelText(lbText, Model.lbText);
    SetLabelText(lbDescrip, Model.lbDescrip);
    rbProgram->setChecked(Model.rbProgram);
    rbInstance->setChecked(Model.rbInstance);
    rbBoth->setChecked(Model.rbBoth);
    cbNotCheckVersion->setChecked(Model.cbNotCheckVersion);
    cbNotUpdateVersion->setChecked(Model.cbNotUpdateVersion);
    cbNotBackup->setChecked(Model.cbNotBackup);
    RegInstallEdit->setText(ToQt(Model.RegInstallEdit));
}

void TPatchTypeSetFrm::ToModel() {
    Model.rbProgram = rbProgram->isChecked();
    Model.rbInstance = rbInstance->isChecked();
    Model.rbBoth = rbBoth->isChecked();
    Model.cbNotCheckVersion = cbNotCheckVersion->isChecked();
    Model.cbNotUpdateVersion = cbNotUpdateVersion->isChecked();
    Model.cbNotBackup = cbNotBackup->isChecked();
    Model.RegInstallEdit = FromQt(RegInstallEdit->text());
}

}  // namespace kestrane::gui
