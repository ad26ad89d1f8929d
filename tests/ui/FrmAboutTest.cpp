#include "ui/FrmAbout.h"
#include "monitor/FrmProperties.h"
#include "support/TerminalWorld.h"
#include "ui/FrmPropertiesDialog.h"
#include "ui/QtDialogHost.h"
#include "ui/WidgetKit.h"

#include <QScreen>
#include <QTimer>

using namespace kvt;
using kvt::ui::FrmAbout;
using kvt::ui::QtDialogHost;

namespace {

// Once the loop runs: `check` on the shown dialog of type D, which is then ended with `result`
// if it is still open (so a dialog that ignores its buttons fails the test, not hangs it).
template <typename D> void whenOpen(std::function<void(D*)> check, int result) {
    QTimer::singleShot(0, [=] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<D*>(w); d && d->isVisible()) {
                check(d);
                if (d->isVisible())
                    d->done(result);
            }
    });
}

} // namespace

TEST(FrmAbout, ShowsTheProgramCentredAndClosesWithOk) {
    QWidget owner;
    owner.setGeometry(0, 0, 200, 150);
    owner.show();
    QtDialogHost host(&owner);
    QStringList texts;
    bool logo = false;
    int result = -1;
    whenOpen<FrmAbout>(
        [&](FrmAbout* about) {
            for (auto* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty())
                    texts << label->text();
                logo = logo || (!label->pixmap().isNull() && label->pixmap().width() >= 48);
            }
            EXPECT_EQ(about->parentWidget(), &owner);
            EXPECT_TRUE(about->isModal());
            // On the middle of the screen, wherever the main window is.
            const QPoint screenCentre = owner.screen()->availableGeometry().center();
            EXPECT_LE((about->frameGeometry().center() - screenCentre).manhattanLength(), 2);
            QObject::connect(about, &QDialog::finished, [&](int r) { result = r; });
            auto* ok = about->findChild<QPushButton*>("Command1");
            if (ok && ok->text() == "OK")
                ok->click();
        },
        -2);
    host.showAbout();
    EXPECT_TRUE(texts.contains("KVT Control Terminal"));
    EXPECT_TRUE(texts.contains(QString("Version ") + ui::programVersion()));
    EXPECT_TRUE(logo);
    EXPECT_EQ(result, QDialog::Accepted);
}

TEST(QtDialogHost, PropertiesDialogIsModalOverTheMainWindowUntilOk) {
    kvt::testing::TerminalWorld w(sim::LineMode::Rs232, {kvt::testing::deviceRecord("1", "01")});
    QWidget owner;
    QtDialogHost host(&owner);
    monitor::FrmProperties logic(w.terminal());
    logic.Form_Load();
    whenOpen<ui::FrmPropertiesDialog>(
        [&](ui::FrmPropertiesDialog* dlg) {
            EXPECT_EQ(dlg->parentWidget(), &owner);
            EXPECT_TRUE(dlg->isModal());
            QTest::mouseClick(dlg->findChild<QWidget*>("cmdOK"), Qt::LeftButton);
        },
        QDialog::Rejected);
    host.showProperties(logic);
    EXPECT_TRUE(logic.closed()) << "OK, not the guard, ended the modal run";

    // A main window that is gone leaves the dialogs without an owner rather than dangling.
    auto* gone = new QWidget;
    host.setParent(gone);
    delete gone;
    EXPECT_EQ(host.parent(), nullptr);
}
