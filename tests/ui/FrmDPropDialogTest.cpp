#include "ui/FrmDPropDialog.h"
#include "monitor/FrmDProp.h"
#include "support/TerminalWorld.h"
#include "ui/WidgetKit.h"

#include <QTabBar>

using namespace kvt;
using kvt::monitor::FrmDProp;
using kvt::testing::captionOf;
using kvt::testing::deviceRecord;
using kvt::testing::pick;
using kvt::testing::TerminalWorld;
using kvt::ui::FrmDPropDialog;

namespace {

// Two devices on an RS-485 line, device 1 current; the dialog open over them.
struct DialogWorld {
    DialogWorld()
        : w(sim::LineMode::Rs485, {deviceRecord("1", "01"), deviceRecord("2", "02")}), t(w.start()),
          logic(t) {
        t.table.record(1).Name = "Line A";
        t.table.status(1).Total = 42.5;
        logic.Form_Load();
        dlg = std::make_unique<FrmDPropDialog>(logic);
        dlg->show();
    }
    template <typename T> T* child(const char* name) { return kvt::testing::child<T>(*dlg, name); }
    TerminalWorld w;
    monitor::FrmTerminal& t;
    FrmDProp logic;
    std::unique_ptr<FrmDPropDialog> dlg;
};

} // namespace

TEST(FrmDPropDialog, WidgetsShowTheModelAndEditsReachTheTable) {
    DialogWorld x;
    EXPECT_EQ(kvt::testing::expectCaptionsAndLists(x.logic.model, *x.dlg), std::pair(63, 7));

    // Each of the five tabs shows its own page.
    auto* tab = x.child<QTabBar>("tabSettings");
    ASSERT_EQ(tab->count(), 5);
    for (int i = 0; i < tab->count(); ++i) {
        tab->setCurrentIndex(i);
        for (int page = 0; page < tab->count(); ++page)
            EXPECT_EQ(
                x.child<QWidget>(("fraSettings_" + std::to_string(page)).c_str())->isVisible(),
                page == i)
                << i;
    }

    auto* address = x.child<QLineEdit>("txtAddress");
    address->clear();
    QTest::keyClicks(address, "07");
    EXPECT_EQ(x.t.table.record(1).Address, "07");

    // A refused text goes back to what is stored.
    auto* name = x.child<QLineEdit>("txtName");
    QTest::keyClicks(name, "\"");
    EXPECT_EQ(name->text(), "Line A");

    x.child<QTabBar>("tabSettings")->setCurrentIndex(1); // the totalizer's page
    QTest::mouseClick(x.child<QWidget>("cmdTSetZero"), Qt::LeftButton);
    EXPECT_EQ(captionOf(x.child<QWidget>("lblTotal")), "0");

    pick(x.child<QComboBox>("cboNumU"), 1);
    EXPECT_EQ(address->text(), "02");

    QTest::mouseClick(x.child<QWidget>("cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(x.logic.closed());
    EXPECT_FALSE(x.dlg->isVisible());
    EXPECT_EQ(x.t.table.record(1).Address, "01"); // restored: Cancel reached the logic

    // The model outlives the dialog; a later change must not reach the destroyed widgets.
    x.dlg.reset();
    x.logic.model.changed();
}
