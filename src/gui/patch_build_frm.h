// The maker's build page: the patch file, the content designer, the version descriptor, an existing
// patch to edit, and the checks before the build.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/maker_pages.h"
#include "app/page_registry.h"
#include "gui/model_page.h"
#include "gui/patch_design_form.h"

namespace kestrane::gui {

class TPatchBuildFrm : public TModelPage<app::TPatchBuildModel> {
    Q_OBJECT

  public:
    explicit TPatchBuildFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    QLabel* lbName;
    QLineEdit* edtName;
    QLabel* lbDir;
    QLineEdit* edtDir;
    QPushButton* btnBrowse;
    QPushButton* btnOpenPatch;
    QPushButton* btnDesign;
    QPushButton* btnImportVersion;
    QLabel* lbVersion;
    QLabel* lbVersionInfo;
    // The content designer over the page's designer model, created with the page.
    TPatchDesignForm* Designer;

    // "添加补丁内容(&M)": reads the catalogue and shows the designer; a catalogue that cannot be read
    // is shown as an error and the designer stays closed.
    void btnDesignClick();

  protected:
    void FromModel() override;
    void ToModel() override;
};

}  // namespace kestrane::gui
