#include "gui/db_info_set_frm.h"

#include "gui/controls.h"
#include "gui/qt_text.h"
#include "gui/texts.h"

namespace kestrane::gui {

namespace {

constexpr int kLabelX = 24;
constexpr int kEditX = 84;
constexpr int kRightLabelX = 212;
constexpr int kRightEditX = 272;
constexpr int kRowHeight = 30;

int RowY(int row) {
    return 20 + row * kRowHeight;
}

QLineEdit* NewEdit(QWidget* tab, const char* name, int x, int row, int width) {
    auto* edit = Named(new QLineEdit(tab), name);
    edit->setGeometry(x, RowY(row), width, 21);
    return edit;
}

QLabel* NewRowLabel(QWidget* tab, const char* text, const char* name, int x, int row) {
    QLabel* label = NewLabel(tab, text, name);
    label->move(x, RowY(row) + 3);
    return label;
}

}  // namespace

TDBInfoSetFrm::TDBInfoSetFrm(QWidget* parent) : TModelPage(parent) {
    lbDescrip = NewLabel(pnClient, "", "lbDescrip");
    lbDescrip->move(48, 6);
    pcDataBase = Named(new QTabWidget(pnClient), "pcDataBase");
    pcDataBase->setGeometry(48, 50, 409, 190);

    tsMsSQL = Named(new QWidget(pcDataBase), "tsMsSQL");
    NewRowLabel(tsMsSQL, texts::kDBServer, "", kLabelX, 0);
    edtServer = NewEdit(tsMsSQL, "edtServer", kEditX, 0, 116);
    NewRowLabel(tsMsSQL, texts::kDBPort, "", kRightLabelX, 0);
    edtPort = NewEdit(tsMsSQL, "edtPort", kRightEditX, 0, 100);
    lbUser = NewRowLabel(tsMsSQL, texts::kDBUser, "lbUser", kLabelX, 1);
    edtUser = NewEdit(tsMsSQL, "edtUser", kEditX, 1, 116);
    lbPassword = NewRowLabel(tsMsSQL, texts::kDBPassword, "lbPassword", kRightLabelX, 1);
    edtPassword = NewEdit(tsMsSQL, "edtPassword", kRightEditX, 1, 100);
    edtPassword->setEchoMode(QLineEdit::Password);
    cbIntegrated = Named(new QCheckBox(ToQt(texts::kDBIntegrated), tsMsSQL), "cbIntegrated");
    cbIntegrated->move(kEditX, RowY(2));
    cbIntegrated->adjustSize();
    btnTest = Named(new QPushButton(ToQt(texts::kDBTest), tsMsSQL), "btnTest");
    btnTest->setGeometry(kRightEditX + 25, RowY(3) + 10, 75, 23);
    pcDataBase->addTab(tsMsSQL, ToQt(texts::kTabMsSQL));

    tsOracle = Named(new QWidget(pcDataBase), "tsOracle");
    NewRowLabel(tsOracle, texts::kDBServer, "", kLabelX, 0);
    edtServer_PL = NewEdit(tsOracle, "edtServer_PL", kEditX, 0, 116);
    NewRowLabel(tsOracle, texts::kDBPort, "", kRightLabelX, 0);
    edtPort_PL = NewEdit(tsOracle, "edtPort_PL", kRightEditX, 0, 100);
    NewRowLabel(tsOracle, texts::kDBSID, "", kLabelX, 1);
    edtSID_PL = NewEdit(tsOracle, "edtSID_PL", kEditX, 1, 116);
    NewRowLabel(tsOracle, texts::kDBUser, "", kLabelX, 2);
    edtUser_PL = NewEdit(tsOracle, "edtUser_PL", kEditX, 2, 116);
    NewRowLabel(tsOracle, texts::kDBPassword, "", kRightLabelX, 2);
    edtPassword_PL = NewEdit(tsOracle, "edtPassword_PL", kRightEditX, 2, 100);
    edtPassword_PL->setEchoMode(QLineEdit::Password);
    btnTest_PL = Named(new QPushButton(ToQt(texts::kDBTest), tsOracle), "btnTest_PL");
    btnTest_PL->setGeometry(kRightEditX + 25, RowY(3) + 10, 75, 23);
    pcDataBase->addTab(tsOracle, ToQt(texts::kTabOracle));

    // Programmatic ticks (filling the page) are no clicks.
    connect(cbIntegrated, &QCheckBox::clicked, this, [this] { Act([this] { Model.cbIntegratedClick(); }); });
    connect(btnTest, &QPushButton::clicked, this,
            [this] { Act([this] { Model.TestClick(support::dbtMsSql); }); });
    connect(btnTest_PL, &QPushButton::clicked, this,
            [this] { Act([this] { Model.TestClick(support::dbtOracle); }); });
    FromModel();
}

const app::TPageClass& TDBInfoSetFrm::PageClass() {
    static const app::TPageClass pageClass{app::pages::TDBInfoSetFrm, &CreatePage<TDBInfoSetFrm>};
    return pageClass;
}

void TDBInfoSetFrm::FromModel() {
    SetLabelText(lbTitle, Model.lbTitle);
    SetLabelText(lbText, Model.lbText);
    SetLabelText(lbDescrip, Model.lbDescrip);
    pcDataBase->setTabVisible(app::tabMsSQL, Model.tsMsSQLVisible);
    pcDataBase->setTabVisible(app::tabOracle, Model.tsOracleVisible);
    pcDataBase->setCurrentIndex(Model.ActivePage);

    cbIntegrated->setChecked(Model.cbIntegrated);
    edtServer->setText(ToQt(Model.edtServer));
    edtPort->setText(ToQt(Model.edtPort));
    edtUser->setText(ToQt(Model.edtUser));
    edtPassword->setText(ToQt(Model.edtPassword));
    for (QWidget* control : {static_cast<QWidget*>(edtUser), static_cast<QWidget*>(edtPassword),
                             static_cast<QWidget*>(lbUser), static_cast<QWidget*>(lbPassword)})
        control->setEnabled(Model.UserPasswordEnabled);

    edtServer_PL->setText(ToQt(Model.edtServer_PL));
    edtPort_PL->setText(ToQt(Model.edtPort_PL));
    edtSID_PL->setText(ToQt(Model.edtSID_PL));
    edtUser_PL->setText(ToQt(Model.edtUser_PL));
    edtPassword_PL->setText(ToQt(Model.edtPassword_PL));
}

void TDBInfoSetFrm::ToModel() {
    Model.ActivePage = pcDataBase->currentIndex() == app::tabOracle ? app::tabOracle : app::tabMsSQL;
    Model.cbIntegrated = cbIntegrated->isChecked();
    Model.edtServer = FromQt(edtServer->text());
    Model.edtPort = FromQt(edtPort->text());
    Model.edtUser = FromQt(edtUser->text());
    Model.edtPassword = FromQt(edtPassword->text());
    Model.edtServer_PL = FromQt(edtServer_PL->text());
    Model.edtPort_PL = FromQt(edtPort_PL->text());
    Model.edtSID_PL = FromQt(edtSID_PL->text());
    Model.edtUser_PL = FromQt(edtUser_PL->text());
    Model.edtPassword_PL = FromQt(edtPassword_PL->text());
}

}  // namespace kestrane::gui
