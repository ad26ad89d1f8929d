#pragma once

// What the widget tests share: named widgets, pictures, the main and the service windows.

#include "support/ServiceWorld.h"
#include "ui/FrmTerminalWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
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

// Every named control of a model but the window itself has its widget showing the model's caption,
// and every list its entries and selection; returns how many controls and lists there are.
template <typename Model>
std::pair<int, int> expectCaptionsAndLists(Model& model, QWidget& window) {
    std::pair<int, int> seen;
    model.forEachControl([&](const std::string& name, const monitor::Control& c) {
        auto* widget = window.findChild<QWidget*>(QString::fromStdString(name));
        if (window.objectName() == QString::fromStdString(name))
            return;
        ++seen.first;
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(captionOf(widget).toStdString(), c.caption) << name;
    });
    model.forEachList([&](const std::string& name, const monitor::ListControl& list, auto...) {
        auto* box = window.findChild<QComboBox*>(QString::fromStdString(name));
        ++seen.second;
        ASSERT_NE(box, nullptr) << name;
        std::vector<std::string> shown;
        for (int i = 0; i < box->count(); ++i)
            shown.push_back(box->itemText(i).toStdString());
        EXPECT_EQ(shown, list.items) << name;
        EXPECT_EQ(box->currentIndex(), list.listIndex) << name;
    });
    return seen;
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

// The main window on the simulated line: `devices` on RS-485, or one RS-232 device when 0, `prefs`
// stored before the logic is built; `start` shows and activates the window and runs start-up.
struct MainWindow {
    using Prefs = std::vector<std::pair<const char*, const char*>>;
    explicit MainWindow(int devices = 0, bool start = true, const Prefs& prefs = {})
        : w(world(devices)), t((store(prefs), w.terminal())), window(t) {
        window.setRefreshDelay(0); // the widgets follow at the next loop pass
        if (!start)
            return;
        window.show();
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        w.start();
        QCoreApplication::processEvents();
    }
    static TerminalWorld world(int devices) {
        std::vector<config::DeviceRecord> records;
        for (int i = 1; i <= std::max(devices, 1); ++i)
            records.push_back(deviceRecord(std::to_string(i), "0" + std::to_string(i)));
        return TerminalWorld(devices ? sim::LineMode::Rs485 : sim::LineMode::Rs232, records);
    }
    void store(const Prefs& prefs) {
        for (const auto& [key, value] : prefs)
            w.prefs.save("KVT Control Terminal", "Properties", key, value);
    }
    // The model changed: let the window refresh.
    void refresh() {
        t.model.changed();
        QCoreApplication::processEvents();
    }
    // A menu entry as the window shows it: a parent by its menu's action, a leaf by its own.
    QAction* menu(const std::string& name) {
        if (auto* m = window.findChild<QMenu*>(QString::fromStdString(name)))
            return m->menuAction();
        return window.findChild<QAction*>(QString::fromStdString(name));
    }
    template <typename T = QWidget> T* child(const char* name) {
        return testing::child<T>(window, name);
    }
    QRect inWindow(QWidget* c) { return QRect(c->mapTo(&window, QPoint(0, 0)), c->size()); }

    TerminalWorld w;
    monitor::FrmTerminal& t;
    ui::FrmTerminalWindow window;
};

// One RS-232 device; `window` shows a dialog over a service logic and runs the operator's script.
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
