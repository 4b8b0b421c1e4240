// The maker's patch type page: the type, the version switches and the registry key of the
// installation.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/maker_pages.h"
#include "app/page_registry.h"
#include "gui/model_page.h"

namespace kestrane::gui {

class TPatchTypeSetFrm : public TModelPage<app::TPatchTypeSetModel> {
    Q_OBJECT

  public:
    explicit TPatchTypeSetFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    QLabel* lbDescrip;
    QGroupBox* rgPatchType;
    // On the group frame, not its items: they exclude each other as siblings.
    QRadioButton* rbProgram;
    QRadioButton* rbInstance;
    QRadioButton* rbBoth;
    QCheckBox* cbNotCheckVersion;
    QCheckBox* cbNotUpdateVersion;
    QCheckBox* cbNotBackup;
    QLabel* Label1;
    QLineEdit* RegInstallEdit;

  protected:
    void FromModel() override;
    void ToModel() override;
};

}  // namespace kestrane::gui
