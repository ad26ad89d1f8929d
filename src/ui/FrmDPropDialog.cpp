#include "ui/FrmDPropDialog.h"

#include "ui/WidgetText.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedLayout>
#include <QTabBar>
#include <QVBoxLayout>

namespace kvt::ui {

FrmDPropDialog::FrmDPropDialog(monitor::FrmDProp& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    auto& m = logic_.model;
    auto& l = logic_;
    setObjectName("frmDProp");

    auto named = [this](QWidget* w, const std::string& name) {
        w->setObjectName(latin1(name));
        controls_[name] = w;
        return w;
    };
    auto label = [&](QWidget* p, const std::string& name) { return named(new QLabel(p), name); };
    auto frame = [&](QWidget* p, const std::string& name) {
        return static_cast<QGroupBox*>(named(new QGroupBox(p), name));
    };
    auto combo = [this](QWidget* p, const std::string& name, std::function<void(int)> click) {
        auto* c = new QComboBox(p);
        c->setObjectName(latin1(name));
        lists_[name] = c;
        connect(c, &QComboBox::activated, this,
                [this, click = std::move(click)](int i) { run([&] { click(i); }); });
        return c;
    };
    auto edit = [&](QWidget* p, const std::string& name,
                    std::function<void(const std::string&)> change) {
        auto* e = new QLineEdit(p);
        named(e, name);
        connect(e, &QLineEdit::textEdited, this,
                [this, change = std::move(change)](const QString& t) {
                    run([&] { change(latin1Bytes(t)); });
                });
        return e;
    };
    auto options = [&](QGroupBox* g, const std::string& name, std::size_t n,
                       std::function<void(int)> click, bool vertical) {
        QBoxLayout* box = vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(g))
                                   : static_cast<QBoxLayout*>(new QHBoxLayout(g));
        for (std::size_t i = 0; i < n; ++i) {
            auto* b = new QRadioButton(g);
            named(b, name + "_" + std::to_string(i));
            box->addWidget(b);
            connect(b, &QRadioButton::clicked, this,
                    [this, click, i] { run([&] { click(static_cast<int>(i)); }); });
        }
        return box;
    };
    auto button = [&](QWidget* p, const std::string& name, std::function<void()> click) {
        auto* b = new QPushButton(p);
        named(b, name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, click = std::move(click)] { run(click); });
        return b;
    };

    auto* top = new QVBoxLayout(this);

    // Device selector, count and buttons above the tabs.
    auto* head = new QGridLayout;
    head->addWidget(label(this, "lblNumU"), 0, 0);
    head->addWidget(combo(this, "cboNumU", [&l](int i) { l.cboNumU_Click(i); }), 0, 1);
    head->addWidget(label(this, "lblDevNumCaption"), 1, 0);
    head->addWidget(label(this, "lblDevNum"), 1, 1);
    head->addWidget(label(this, "lblTotalUCaption"), 2, 0);
    head->addWidget(label(this, "lblTotalU"), 2, 1);
    auto* headButtons = new QVBoxLayout;
    headButtons->addWidget(button(this, "cmdAdd", [&l] { l.cmdAdd_Click(); }));
    headButtons->addWidget(button(this, "cmdRemuve", [&l] { l.cmdRemuve_Click(); }));
    head->addLayout(headButtons, 0, 2, 3, 1);
    auto* okCancel = new QVBoxLayout;
    auto* cmdOK = button(this, "cmdOK", [&l] { l.cmdOK_Click(); });
    static_cast<QPushButton*>(cmdOK)->setDefault(true);
    okCancel->addWidget(cmdOK);
    okCancel->addWidget(button(this, "cmdCancel", [&l] { l.cmdCancel_Click(); }));
    head->addLayout(okCancel, 0, 3, 3, 1);
    top->addLayout(head);

    tabSettings_ = new QTabBar(this);
    tabSettings_->setObjectName("tabSettings");
    for (const auto& tab : m.tabSettings.tabs)
        tabSettings_->addTab(latin1(tab));
    connect(tabSettings_, &QTabBar::currentChanged, this,
            [this](int i) { run([&] { logic_.tabSettings_Click(i); }); });
    top->addWidget(tabSettings_);
    pages_ = new QStackedLayout;
    top->addLayout(pages_);

    // General.
    auto* general = named(new QWidget(this), "fraSettings_0");
    auto* g0 = new QGridLayout(general);
    g0->addWidget(label(general, "lblName"), 0, 0);
    g0->addWidget(edit(general, "txtName", [&l](const std::string& t) { l.txtName_Change(t); }), 0,
                  1, 1, 2);
    g0->addWidget(label(general, "lblAddress"), 1, 0);
    g0->addWidget(
        edit(general, "txtAddress", [&l](const std::string& t) { l.txtAddress_Change(t); }), 1, 1);
    g0->addWidget(label(general, "lblMFR"), 2, 0);
    g0->addWidget(edit(general, "txtMFR", [&l](const std::string& t) { l.txtMFR_Change(t); }), 2,
                  1);
    g0->addWidget(label(general, "lblEUsp"), 2, 2);
    auto listFrame = [&](QWidget* p, const std::string& frameName, const std::string& list,
                         std::function<void(int)> click) {
        auto* f = frame(p, frameName);
        auto* v = new QVBoxLayout(f);
        v->addWidget(combo(f, list, std::move(click)));
        return f;
    };
    g0->addWidget(listFrame(general, "fraValveMode", "cboValveMode",
                            [&l](int i) { l.cboValveMode_Click(i); }),
                  0, 3);
    g0->addWidget(
        listFrame(general, "fraGasTable", "cboGasTable", [&l](int i) { l.cboGasTable_Click(i); }),
        1, 3);
    g0->addWidget(listFrame(general, "fraEUnit", "cboEUnit", [&l](int i) { l.cboEUnit_Click(i); }),
                  2, 3);
    auto* fraDevStatus = frame(general, "fraDevStatus");
    options(
        fraDevStatus, "optCRC", m.optCRC.size(), [&l](int i) { l.optCRC_Click(i); }, false);
    g0->addWidget(fraDevStatus, 3, 0, 1, 3);
    auto* fraInputMode = frame(general, "fraInputMode");
    options(
        fraInputMode, "optAInt", m.optAInt.size(), [&l](int i) { l.optAInt_Click(i); }, false);
    g0->addWidget(fraInputMode, 3, 3);
    pages_->addWidget(general);

    // Totalizer.
    auto* totalizer = named(new QWidget(this), "fraSettings_1");
    auto* g1 = new QGridLayout(totalizer);
    auto* fraTotalizer = frame(totalizer, "fraTotalizer");
    options(
        fraTotalizer, "optEnable", m.optEnable.size(), [&l](int i) { l.optEnable_Click(i); }, true);
    g1->addWidget(fraTotalizer, 0, 0, 2, 1);
    g1->addWidget(label(totalizer, "lblTStart"), 0, 1);
    g1->addWidget(
        edit(totalizer, "txtTStart", [&l](const std::string& t) { l.txtTStart_Change(t); }), 0, 2);
    g1->addWidget(label(totalizer, "lblTStartUnit"), 0, 3);
    g1->addWidget(label(totalizer, "lblTStop"), 1, 1);
    g1->addWidget(edit(totalizer, "txtTStop", [&l](const std::string& t) { l.txtTStop_Change(t); }),
                  1, 2);
    g1->addWidget(label(totalizer, "lblStopTotalEU"), 1, 3);
    g1->addWidget(
        listFrame(totalizer, "fraTAction", "cboTAction", [&l](int i) { l.cboTAction_Click(i); }), 2,
        0);
    auto* fraTReading = frame(totalizer, "fraTReading");
    auto* reading = new QHBoxLayout(fraTReading);
    reading->addWidget(label(fraTReading, "lblTotal"), 1);
    reading->addWidget(button(fraTReading, "cmdTSetZero", [&l] { l.cmdTSetZero_Click(); }));
    g1->addWidget(fraTReading, 2, 1, 1, 3);
    pages_->addWidget(totalizer);

    // Alarm.
    auto* alarm = named(new QWidget(this), "fraSettings_2");
    auto* g2 = new QGridLayout(alarm);
    auto* fraAlarm = frame(alarm, "fraAlarm");
    options(
        fraAlarm, "optAEnable", m.optAEnable.size(), [&l](int i) { l.optAEnable_Click(i); }, true);
    g2->addWidget(fraAlarm, 0, 0, 2, 1);
    g2->addWidget(label(alarm, "lblAHigh"), 0, 1);
    g2->addWidget(edit(alarm, "txtAHigh", [&l](const std::string& t) { l.txtAHigh_Change(t); }), 0,
                  2);
    g2->addWidget(label(alarm, "lblALow"), 1, 1);
    g2->addWidget(edit(alarm, "txtALow", [&l](const std::string& t) { l.txtALow_Change(t); }), 1,
                  2);
    auto* fraAURate = frame(alarm, "fraAURate");
    auto* rate = new QHBoxLayout(fraAURate);
    auto* txtAURate = named(new QLineEdit(fraAURate), "txtAURate");
    static_cast<QLineEdit*>(txtAURate)->setReadOnly(true);
    rate->addWidget(txtAURate);
    rate->addWidget(label(fraAURate, "lblAURateUnit"));
    g2->addWidget(fraAURate, 2, 0, 1, 3);
    pages_->addWidget(alarm);

    // Relays.
    auto* relays = named(new QWidget(this), "fraSettings_3");
    auto* g3 = new QHBoxLayout(relays);
    g3->addWidget(
        listFrame(relays, "fraRelay1", "cboRelay1Ass", [&l](int i) { l.cboRelay1Ass_Click(i); }));
    g3->addWidget(
        listFrame(relays, "fraRelay2", "cboRelay2Ass", [&l](int i) { l.cboRelay2Ass_Click(i); }));
    pages_->addWidget(relays);

    // K Factors.
    auto* kFactors = named(new QWidget(this), "fraSettings_4");
    auto* g4 = new QGridLayout(kFactors);
    auto* fraKfactor = frame(kFactors, "fraKfactor");
    auto* kBox = new QGridLayout(fraKfactor);
    for (std::size_t i = 0; i < m.optKfactor.size(); ++i) {
        auto* b = new QRadioButton(fraKfactor);
        named(b, "optKfactor_" + std::to_string(i));
        kBox->addWidget(b, static_cast<int>(i), 0);
        connect(b, &QRadioButton::clicked, this,
                [this, i] { run([&] { logic_.optKfactor_Click(static_cast<int>(i)); }); });
    }
    kBox->addWidget(edit(fraKfactor, "txtInternalKF",
                         [&l](const std::string& t) { l.txtInternalKF_Change(t); }),
                    1, 1);
    kBox->addWidget(
        edit(fraKfactor, "txtUserKF", [&l](const std::string& t) { l.txtUserKF_Change(t); }), 2, 1);
    g4->addWidget(fraKfactor, 0, 0, 1, 2);
    g4->addWidget(label(kFactors, "lblUserEUfactor"), 1, 0);
    g4->addWidget(edit(kFactors, "txtUserEUfactor",
                       [&l](const std::string& t) { l.txtUserEUfactor_Change(t); }),
                  1, 1);
    pages_->addWidget(kFactors);

    m.subscribe(liveness_.guard([this] { refresh(); }));
    refresh();

    top->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (s)
        move(s->availableGeometry().center() - rect().center());
}

FrmDPropDialog::~FrmDPropDialog() = default;

void FrmDPropDialog::refresh() {
    auto& m = logic_.model;
    setWindowTitle(latin1(m.frmDProp.caption));
    {
        QSignalBlocker block(tabSettings_);
        tabSettings_->setCurrentIndex(m.tabSettings.selected);
    }
    for (std::size_t i = 0; i < m.fraSettings.size(); ++i)
        if (m.fraSettings[i].visible)
            pages_->setCurrentIndex(static_cast<int>(i));

    m.forEachControl([this](const std::string& name, const monitor::Control& c) {
        auto it = controls_.find(name);
        if (it == controls_.end())
            return; // the dialog itself
        QWidget* w = it->second;
        QSignalBlocker block(w);
        w->setEnabled(c.enabled);
        if (!c.toolTip.empty())
            w->setToolTip(latin1(c.toolTip));
        if (auto* lbl = qobject_cast<QLabel*>(w))
            lbl->setText(latin1(c.caption));
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            g->setTitle(latin1(c.caption));
        else if (auto* r = qobject_cast<QRadioButton*>(w)) {
            r->setText(latin1(c.caption));
            setRadioChecked(r, c.checked);
        } else if (auto* b = qobject_cast<QPushButton*>(w))
            b->setText(latin1(c.caption));
        else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // Only a refused or reloaded text is written back, so the cursor stays where it is.
            if (e->text() != latin1(c.caption))
                e->setText(latin1(c.caption));
        }
    });

    m.forEachList([this](const std::string& name, const monitor::ListControl& list) {
        QComboBox* c = lists_.at(name);
        QSignalBlocker block(c);
        QStringList items;
        for (const auto& item : list.items)
            items << latin1(item);
        bool same = c->count() == items.size();
        for (int i = 0; same && i < c->count(); ++i)
            same = c->itemText(i) == items[i];
        if (!same) {
            c->clear();
            c->addItems(items);
        }
        c->setCurrentIndex(list.listIndex);
        c->setEnabled(list.enabled);
        c->setVisible(list.visible);
    });

    if (!m.focus.empty()) {
        auto list = lists_.find(m.focus);
        if (list != lists_.end())
            list->second->setFocus();
        else if (auto it = controls_.find(m.focus); it != controls_.end())
            it->second->setFocus();
        m.focus.clear();
    }
}

void FrmDPropDialog::run(const std::function<void()>& handler) {
    handler();
    refresh();
    if (logic_.closed())
        QDialog::accept();
}

void FrmDPropDialog::reject() {
    if (!logic_.closed())
        logic_.cmdCancel_Click();
    refresh();
    QDialog::accept();
}

} // namespace kvt::ui
