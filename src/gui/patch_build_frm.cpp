#include "gui/patch_build_frm.h"

#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

TPatchBuildFrm::TPatchBuildFrm(QWidget* parent) : TModelPage(parent) {
    lbName = NewLabel(pnClient, texts::kName, "lbName");
    lbName->move(48, 15);
    edtName = Named(new QLineEdit(pnClient), "edtName");
    edtName->setGeometry(88, 12, 369, 21);
    lbDir = NewLabel(pnClient, texts::kBuildDir, "lbDir");
    lbDir->move(48, 45);
    edtDir = Named(new QLineEdit(pnClient), "edtDir");
    edtDir->setGeometry(88, 42, 289, 21);
    btnBrowse = Named(new QPushButton(ToQt(texts::kBrowse), pnClient), "btnBrowse");
    btnBrowse->setGeometry(382, 41, 75, 23);

    btnOpenPatch = Named(new QPushButton(ToQt(texts::kOpenPatch), pnClient), "btnOpenPatch");
    btnDesign = Named(new QPushButton(ToQt(texts::kDesign), pnClient), "btnDesign");
    btnImportVersion = Named(new QPushButton(ToQt(texts::kImportVersion), pnClient), "btnImportVersion");
    btnOpenPatch->setGeometry(88, 74, 119, 25);
    btnDesign->setGeometry(213, 74, 119, 25);
    btnImportVersion->setGeometry(338, 74, 119, 25);

    // The version switches on the left, the imported descriptor beside them: its seven lines would
    // not fit below.
    lbVersion = NewLabel(pnClient, "", "lbVersion");
    lbVersion->setWordWrap(true);
    lbVersion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbVersion->setGeometry(48, 112, 150, 128);
    lbVersionInfo = NewLabel(pnClient, "", "lbVersionInfo");
    lbVersionInfo->setWordWrap(true);
    lbVersionInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbVersionInfo->setGeometry(204, 112, 253, 128);

    Designer = new TPatchDesignForm(Model.Designer, this);

    connect(btnBrowse, &QPushButton::clicked, this, [this] { Act([this] { Model.btnBrowseClick(); }); });
    connect(btnOpenPatch, &QPushButton::clicked, this,
            [this] { Act([this] { Model.btnOpenPatchClick(); }); });
    connect(btnImportVersion, &QPushButton::clicked, this,
            [this] { Act([this] { Model.btnImportVersionClick(); }); });
    connect(btnDesign, &QPushButton::clicked, this, [this] { btnDesignClick(); });
    FromModel();
}

const app::TPageClass& TPatchBuildFrm::PageClass() {
    static const app::TPageClass pageClass{app::pages::TPatchBuildFrm, &CreatePage<TPatchBuildFrm>};
    return pageClass;
}

void TPatchBuildFrm::btnDesignClick() {
    Act([this] {
        Model.btnDesignClick();
        Designer->ShowModel();
        Designer->exec();
    });
}

void TPatchBuildFrm::FromModel() {
    SetLabelText(lbTitle, Model.lbTitle);
    SetLabelText(lbText, Model.lbText);
    edtName->setText(ToQt(Model.edtName));
    edtDir->setText(ToQt(Model.edtDir));
    lbVersion->setText(ToQt(Model.lbVersion));
    lbVersionInfo->setText(ToQt(Model.lbVersionInfo));
}

void TPatchBuildFrm::ToModel() {
    Model.edtName = FromQt(edtName->text());
    Model.edtDir = FromQt(edtDir->text());
}

}  // namespace kestrane::gui
