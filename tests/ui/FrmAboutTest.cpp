#include "ui/FrmAbout.h"
#include "monitor/FrmProperties.h"
#include "support/TerminalWorld.h"
#include "ui/FrmPropertiesDialog.h"
#include "ui/QtDialogHost.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kvt;
using kvt::ui::FrmAbout;
using kvt::ui::QtDialogHost;

TEST(FrmAbout, ShowsTheProgramCentredAndClosesWithOk) {
    QWidget owner;
    owner.setGeometry(0, 0, 200, 150);
    owner.show();
    QtDialogHost host(&owner);

    bool shown = false;
    QString title;
    QStringList texts;
    QRect frame;
    QWidget* parent = nullptr;
    bool modal = false, logo = false;
    int result = -1;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* about = qobject_cast<FrmAbout*>(w);
            if (!about || !about->isVisible())
                continue;
            shown = true;
            title = about->windowTitle();
            for (auto* label : about->findChildren<QLabel*>()) {
                if (!label->text().isEmpty())
                    texts << label->text();
                logo = logo || (!label->pixmap().isNull() && label->pixmap().width() >= 48);
            }
            frame = about->frameGeometry();
            parent = about->parentWidget();
            modal = about->isModal();
            QObject::connect(about, &QDialog::finished, [&](int r) { result = r; });
            auto* ok = about->findChild<QPushButton*>("Command1");
            if (ok && ok->text() == "OK")
                ok->click();
            if (about->isVisible())
                about->done(-2); // keeps the test from hanging; the checks below fail
        }
    });
    host.showAbout();

    ASSERT_TRUE(shown);
    EXPECT_EQ(title, "About");
    EXPECT_TRUE(texts.contains("KVT Control Terminal"));
    EXPECT_TRUE(texts.contains(QString("Version ") + ui::programVersion()));
    EXPECT_GE(texts.size(), 4);
    EXPECT_TRUE(logo);
    EXPECT_EQ(parent, &owner);
    EXPECT_TRUE(modal);
    EXPECT_EQ(result, QDialog::Accepted);
    // On the middle of the screen, wherever the main window is.
    const QPoint screenCentre = owner.screen()->availableGeometry().center();
    EXPECT_LE((frame.center() - screenCentre).manhattanLength(), 2);
}

TEST(QtDialogHost, ShowsThePropertiesDialogOverTheMainWindow) {
    kvt::testing::TerminalWorld w(sim::LineMode::Rs232, {kvt::testing::deviceRecord("1", "01")});
    auto& t = w.terminal();
    QWidget owner;
    QtDialogHost host;
    host.setParent(&owner);
    EXPECT_EQ(host.parent(), &owner);

    monitor::FrmProperties logic(t);
    logic.Form_Load();
    QWidget* parent = nullptr;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* win : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<ui::FrmPropertiesDialog*>(win);
            if (!dlg || !dlg->isVisible())
                continue;
            parent = dlg->parentWidget();
            modal = dlg->isModal();
            dlg->reject();
            if (dlg->isVisible())
                dlg->done(QDialog::Rejected);
        }
    });
    host.showProperties(logic);
    EXPECT_EQ(parent, &owner);
    EXPECT_TRUE(modal);

    // A main window that is gone leaves the dialogs without an owner rather than dangling.
    auto* gone = new QWidget;
    host.setParent(gone);
    delete gone;
    EXPECT_EQ(host.parent(), nullptr);
}
