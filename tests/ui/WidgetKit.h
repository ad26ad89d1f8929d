#pragma once

// What the widget tests share: finding, filling and picking named widgets, pictures, and the
// service windows shown over their logic on the simulated device.

#include "support/ServiceWorld.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kvt::testing {

template <typename W = QPushButton> W* child(QWidget& window, const char* name) {
    auto* w = window.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Every named control of a model has a widget of that name in the window.
template <typename Model> void expectEveryControl(Model& model, QWidget& window) {
    model.forEachControl([&](const std::string& name, const monitor::Control&) {
        QString n = QString::fromStdString(name);
        EXPECT_TRUE(window.objectName() == n || window.findChild<QWidget*>(n) != nullptr) << name;
    });
}

// What a widget shows as its caption.
inline QString captionOf(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    return {};
}

// Picks an entry of a combo box the way the operator does: open the list, click the entry.
inline void pick(QComboBox* c, int index) {
    c->showPopup();
    QAbstractItemView* view = c->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(index, 0)).center());
}

// Types over what a box holds; Enter commits.
inline void typeInto(QWidget& window, const char* box, const QString& text, bool enter = true) {
    auto* edit = child<QLineEdit>(window, box);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    if (enter)
        QTest::keyClick(edit, Qt::Key_Return);
}

// The window as drawn; saved for a person to look at when KVT_SCREENSHOT_DIR names a folder.
inline void saveShot(QWidget& window, const QString& file) {
    QApplication::processEvents(); // layouts settle as they would on screen
    const QPixmap shot = window.grab();
    EXPECT_FALSE(shot.isNull());
    if (auto dir = qEnvironmentVariable("KVT_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(QDir().mkpath(dir) && shot.save(dir + "/" + file));
    }
}

// One RS-232 device with the service procedures; `window` builds a hook that shows a dialog
// over the logic a menu started, checks its named controls and runs the operator's script.
struct ServiceDialogTest : ::testing::Test {
    ServiceWorld x{kRs232};
    int shown = 0;

    template <typename Dialog, typename Logic, typename Script> auto window(Script script) {
        return [this, script](Logic& logic) {
            Dialog dlg(logic);
            expectEveryControl(logic.model, dlg);
            dlg.show();
            script(logic, dlg);
            EXPECT_TRUE(logic.closed());
            ++shown;
        };
    }
    void run(const std::string& menu, platform::Answer confirm = platform::Answer::Yes) {
        x.w.op.answer(confirm);
        x.click(menu);
        EXPECT_EQ(shown, 1) << menu;
        shown = 0;
    }
};

} // namespace kvt::testing
