#include "ui/FrmPropertiesDialog.h"

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

FrmPropertiesDialog::FrmPropertiesDialog(monitor::FrmProperties& logic, QWidget* parent)
    : QDialog(parent), logic_(logic) {
    auto& m = logic_.model;
    setObjectName("frmProperties");
    setWindowTitle(latin1(m.frmProperties.caption));

    auto named = [this](QWidget* w, const std::string& name) {
        w->setObjectName(latin1(name));
        controls_[name] = w;
        return w;
    };
    auto label = [&](QWidget* parentWidget, const std::string& name, const monitor::Control& c) {
        auto* l = new QLabel(latin1(c.caption), parentWidget);
        named(l, name);
        return l;
    };
    auto frame = [&](QWidget* parentWidget, const std::string& name, const monitor::Control& c) {
        auto* g = new QGroupBox(latin1(c.caption), parentWidget);
        named(g, name);
        return g;
    };
    auto combo = [this](QWidget* parentWidget, const std::string& name, bool editable) {
        auto* c = new QComboBox(parentWidget);
        c->setObjectName(latin1(name));
        c->setEditable(editable);
        // The typed text is taken as it is; it never joins the list.
        c->setInsertPolicy(QComboBox::NoInsert);
        lists_[name] = c;
        return c;
    };

    auto* top = new QVBoxLayout(this);
    tabSettings_ = new QTabBar(this);
    tabSettings_->setObjectName("tabSettings");
    for (const auto& tab : m.tabSettings.tabs)
        tabSettings_->addTab(latin1(tab));
    top->addWidget(tabSettings_);
    pages_ = new QStackedLayout;
    top->addLayout(pages_);

    // "Properties" tab.
    auto* page0 = named(new QWidget(this), "fraSettings_0");
    auto* grid0 = new QGridLayout(page0);
    grid0->addWidget(label(page0, "lblPort", m.lblPort), 0, 0);
    grid0->addWidget(combo(page0, "cboPort", false), 0, 1);
    auto* txtPortAddress = new QLineEdit(page0);
    named(txtPortAddress, "txtPortAddress");
    txtPortAddress->setReadOnly(true);
    grid0->addWidget(txtPortAddress, 1, 0, 1, 2);
    grid0->addWidget(label(page0, "lblInterface", m.lblInterface), 2, 0);
    grid0->addWidget(combo(page0, "cboInterface", false), 2, 1);

    auto* fraSpeed = frame(page0, "fraSpeed", m.fraSpeed);
    auto* speedLayout = new QVBoxLayout(fraSpeed);
    speedLayout->addWidget(combo(fraSpeed, "cboSpeed", true));
    grid0->addWidget(fraSpeed, 3, 0, 1, 2);

    auto* fraConnection = frame(page0, "fraConnection", m.fraConnection);
    auto* connection = new QGridLayout(fraConnection);
    connection->addWidget(label(fraConnection, "lblDataBits", m.lblDataBits), 0, 0);
    connection->addWidget(combo(fraConnection, "cboDataBits", true), 0, 1);
    connection->addWidget(label(fraConnection, "lblParity", m.lblParity), 1, 0);
    connection->addWidget(combo(fraConnection, "cboParity", false), 1, 1);
    connection->addWidget(label(fraConnection, "lblStopBits", m.lblStopBits), 2, 0);
    connection->addWidget(combo(fraConnection, "cboStopBits", true), 2, 1);
    grid0->addWidget(fraConnection, 4, 0, 1, 2);

    auto* fraEcho = frame(page0, "fraEcho", m.fraEcho);
    auto* echoLayout = new QHBoxLayout(fraEcho);
    for (std::size_t i = 0; i < m.optEcho.size(); ++i) {
        auto* b = new QRadioButton(latin1(m.optEcho[i].caption), fraEcho);
        named(b, "optEcho_" + std::to_string(i));
        echoLayout->addWidget(b);
        connect(b, &QRadioButton::clicked, this,
                [this, i] { run([&] { logic_.optEcho_Click(static_cast<int>(i)); }); });
    }
    grid0->addWidget(fraEcho, 0, 2, 3, 1);

    auto* fraFlow = frame(page0, "fraFlow", m.fraFlow);
    auto* flowLayout = new QVBoxLayout(fraFlow);
    for (std::size_t i = 0; i < m.optFlow.size(); ++i) {
        auto* b = new QRadioButton(latin1(m.optFlow[i].caption), fraFlow);
        named(b, "optFlow_" + std::to_string(i));
        flowLayout->addWidget(b);
        connect(b, &QRadioButton::clicked, this,
                [this, i] { run([&] { logic_.optFlow_Click(static_cast<int>(i)); }); });
    }
    grid0->addWidget(fraFlow, 3, 2, 2, 1);
    pages_->addWidget(page0);

    // "Timing" tab.
    auto* page1 = named(new QWidget(this), "fraSettings_1");
    auto* layout1 = new QVBoxLayout(page1);
    struct Row {
        const char* label;
        const monitor::Control* caption;
        const char* list;
        const char* unit;
        const monitor::Control* unitCaption;
    };
    auto timingFrame = [&](const std::string& name, const monitor::Control& c, Row a, Row b) {
        auto* g = frame(page1, name, c);
        auto* grid = new QGridLayout(g);
        int row = 0;
        for (const Row& r : {a, b}) {
            grid->addWidget(label(g, r.label, *r.caption), row, 0);
            grid->addWidget(combo(g, r.list, false), row, 1);
            grid->addWidget(label(g, r.unit, *r.unitCaption), row, 2);
            ++row;
        }
        layout1->addWidget(g);
    };
    timingFrame("fraSingle", m.fraSingle,
                {"lblTSs", &m.lblTSs, "cboTSs", "lblTSsUnit", &m.lblTSsUnit},
                {"lblTSr", &m.lblTSr, "cboTSr", "lblTSrUnit", &m.lblTSrUnit});
    timingFrame("fraMultiple", m.fraMultiple,
                {"lblTMs", &m.lblTMs, "cboTMs", "lblTMsUnit", &m.lblTMsUnit},
                {"lblTMr", &m.lblTMr, "cboTMr", "lblTMrUnit", &m.lblTMrUnit});
    layout1->addStretch();
    pages_->addWidget(page1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cmdOK = new QPushButton(latin1(m.cmdOK.caption), this);
    named(cmdOK, "cmdOK");
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(latin1(m.cmdCancel.caption), this);
    named(cmdCancel, "cmdCancel");
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    top->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, [this] { run([&] { logic_.cmdOK_Click(); }); });
    connect(cmdCancel, &QPushButton::clicked, this,
            [this] { run([&] { logic_.cmdCancel_Click(); }); });

    connect(tabSettings_, &QTabBar::currentChanged, this,
            [this](int i) { run([&] { logic_.tabSettings_Click(i); }); });

    // Choices from the list; typed texts of the editable boxes separately.
    auto& l = logic_;
    const std::pair<const char*, std::function<void(int)>> clicks[] = {
        {"cboPort", [&l](int i) { l.cboPort_Click(i); }},
        {"cboInterface", [&l](int i) { l.cboInterface_Click(i); }},
        {"cboSpeed", [&l](int i) { l.cboSpeed_Click(i); }},
        {"cboDataBits", [&l](int i) { l.cboDataBits_Click(i); }},
        {"cboParity", [&l](int i) { l.cboParity_Click(i); }},
        {"cboStopBits", [&l](int i) { l.cboStopBits_Click(i); }},
        {"cboTSs", [&l](int i) { l.cboTSs_Click(i); }},
        {"cboTSr", [&l](int i) { l.cboTSr_Click(i); }},
        {"cboTMs", [&l](int i) { l.cboTMs_Click(i); }},
        {"cboTMr", [&l](int i) { l.cboTMr_Click(i); }},
    };
    for (const auto& [name, handler] : clicks)
        connect(lists_.at(name), &QComboBox::activated, this,
                [this, h = handler](int i) { run([&] { h(i); }); });
    const std::pair<const char*, std::function<void(const std::string&)>> changes[] = {
        {"cboSpeed", [&l](const std::string& t) { l.cboSpeed_Change(t); }},
        {"cboDataBits", [&l](const std::string& t) { l.cboDataBits_Change(t); }},
        {"cboStopBits", [&l](const std::string& t) { l.cboStopBits_Change(t); }},
    };
    for (const auto& [name, handler] : changes)
        connect(lists_.at(name)->lineEdit(), &QLineEdit::textEdited, this,
                [this, h = handler](const QString& t) { run([&] { h(latin1Bytes(t)); }); });

    m.subscribe(liveness_.guard([this] { refresh(); }));
    refresh();

    top->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (s)
        move(s->availableGeometry().center() - rect().center());
}

FrmPropertiesDialog::~FrmPropertiesDialog() = default;

void FrmPropertiesDialog::refresh() {
    auto& m = logic_.model;
    setWindowTitle(latin1(m.frmProperties.caption));
    {
        QSignalBlocker block(tabSettings_);
        for (int i = 0;
             i < tabSettings_->count() && i < static_cast<int>(m.tabSettings.tabs.size()); ++i)
            tabSettings_->setTabText(i, latin1(m.tabSettings.tabs[static_cast<std::size_t>(i)]));
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
        if (auto* l = qobject_cast<QLabel*>(w))
            l->setText(latin1(c.caption));
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            g->setTitle(latin1(c.caption));
        else if (auto* r = qobject_cast<QRadioButton*>(w)) {
            r->setText(latin1(c.caption));
            setRadioChecked(r, c.checked);
        } else if (auto* b = qobject_cast<QPushButton*>(w))
            b->setText(latin1(c.caption));
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(latin1(c.caption));
    });

    m.forEachList([this](const std::string& name, const monitor::ListControl& list,
                         const monitor::EditableList* editable) {
        QComboBox* c = lists_.at(name);
        QSignalBlocker block(c);
        QSignalBlocker blockEdit(c->lineEdit());
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
        if (editable && c->currentText() != latin1(editable->editText))
            c->setEditText(latin1(editable->editText));
        c->setEnabled(list.enabled);
        c->setVisible(list.visible);
    });
}

void FrmPropertiesDialog::run(const std::function<void()>& handler) {
    handler();
    refresh();
    if (logic_.closed())
        QDialog::accept();
}

void FrmPropertiesDialog::reject() {
    if (!logic_.closed())
        logic_.cmdCancel_Click();
    refresh();
    QDialog::accept();
}

} // namespace kvt::ui
