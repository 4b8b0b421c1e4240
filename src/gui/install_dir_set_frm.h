// The installer's installation folder page: passed over unless the folder it was given is refused.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/install_pages.h"
#include "app/page_registry.h"
#include "gui/model_page.h"

namespace kestrane::gui {

class TInstallDirSetFrm : public TModelPage<app::TInstallDirSetModel> {
    Q_OBJECT

  public:
    explicit TInstallDirSetFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    QLabel* lbDescrip;
    QLineEdit* edtDir;
    QPushButton* btnBrowse;

  protected:
    void FromModel() override;
    void ToModel() override;
};

}  // namespace kestrane::gui
