// The database connection page: the known servers' connection, the integrated login and a
// connection test on each tab. Shown only while no server is known.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/maker_pages.h"
#include "app/page_registry.h"
#include "gui/model_page.h"

namespace kestrane::gui {

class TDBInfoSetFrm : public TModelPage<app::TDBInfoSetModel> {
    Q_OBJECT

  public:
    explicit TDBInfoSetFrm(QWidget* parent = nullptr);
    static const app::TPageClass& PageClass();

    QLabel* lbDescrip;
    QTabWidget* pcDataBase;

    QWidget* tsMsSQL;
    QLineEdit* edtServer;
    QLineEdit* edtPort;
    QLabel* lbUser;
    QLineEdit* edtUser;
    QLabel* lbPassword;
    QLineEdit* edtPassword;
    QCheckBox* cbIntegrated;
    QPushButton* btnTest;

    QWidget* tsOracle;
    QLineEdit* edtServer_PL;
    QLineEdit* edtPort_PL;
    QLineEdit* edtSID_PL;
    QLineEdit* edtUser_PL;
    QLineEdit* edtPassword_PL;
    QPushButton* btnTest_PL;

  protected:
    void FromModel() override;
    void ToModel() override;
};

}  // namespace kestrane::gui
