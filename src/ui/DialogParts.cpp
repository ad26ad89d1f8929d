#include "ui/DialogParts.h"

#include "monitor/Controls.h"
#include "ui/WidgetText.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace kvt::ui {

namespace {

class KeyFilter final : public QObject {
public:
    KeyFilter(QObject* parent, std::function<bool(int)> filter)
        : QObject(parent), filter_(std::move(filter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        int code = keyCode(static_cast<QKeyEvent*>(event));
        return code != 0 && !filter_(code);
    }

private:
    std::function<bool(int)> filter_;
};

} // namespace

QPushButton* button(QWidget* parent, const char* name) {
    auto* b = named(new QPushButton(parent), name);
    b->setAutoDefault(false);
    return b;
}

QPushButton* button(QWidget* parent, const char* name, std::function<void()> clicked) {
    auto* b = button(parent, name);
    QObject::connect(b, &QPushButton::clicked, parent, std::move(clicked));
    return b;
}

void follow(QPushButton* b, const monitor::Control& c) {
    b->setText(latin1(c.caption));
    b->setEnabled(c.enabled);
}

QHBoxLayout* buttonRow(std::initializer_list<QWidget*> left,
                       std::initializer_list<QWidget*> right) {
    auto* row = new QHBoxLayout;
    for (auto* w : left)
        row->addWidget(w);
    row->addStretch();
    for (auto* w : right)
        row->addWidget(w);
    return row;
}

QLabel* labelledRow(QGridLayout* grid, int row, const QString& caption, QWidget* field,
                    int column) {
    auto* label = new QLabel(caption, grid->parentWidget());
    grid->addWidget(label, row, column);
    grid->addWidget(field, row, column + 1);
    return label;
}

int keyCode(const QKeyEvent* key) {
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return 13;
    if (key->key() == Qt::Key_Backspace)
        return 8;
    if (!key->text().isEmpty())
        return key->text().at(0).unicode();
    return 0;
}

void filterKeys(QLineEdit* box, std::function<bool(int)> filter) {
    box->installEventFilter(new KeyFilter(box, std::move(filter)));
}

QString shownText(const std::string& s) {
    QString t = QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    t.replace('\r', '\n');
    return t;
}

Liveness::~Liveness() {
    *alive_ = false;
}

std::function<void()> Liveness::guard(std::function<void()> f) const {
    return [alive = alive_, f = std::move(f)] {
        if (*alive)
            f();
    };
}

LogicDialog::LogicDialog(QWidget* parent, std::function<bool()> closed,
                         std::function<void()> queryUnload)
    : QDialog(parent), closed_(std::move(closed)), queryUnload_(std::move(queryUnload)) {
    setModal(true);
}

void LogicDialog::closeEvent(QCloseEvent* event) {
    // The logic closes the dialog once its waits have returned.
    if (!closed_()) {
        event->ignore();
        queryUnload_();
    }
}

void LogicDialog::reject() {
    if (closed_())
        QDialog::reject();
    else
        queryUnload_();
}

void LogicDialog::finishIfClosed() {
    if (closed_() && isVisible())
        QTimer::singleShot(0, this, [this] { done(QDialog::Accepted); });
}

std::function<void()> LogicDialog::whileAlive(std::function<void()> f) const {
    return liveness_.guard(std::move(f));
}

LogicToolWindow::LogicToolWindow(QWidget* parent, std::function<void()> queryUnload)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      queryUnload_(std::move(queryUnload)) {}

void LogicToolWindow::closeEvent(QCloseEvent* event) {
    // The logic hides the window once its wait has returned.
    event->ignore();
    queryUnload_();
}

void LogicToolWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        queryUnload_();
        return;
    }
    QWidget::keyPressEvent(event);
}

std::function<void()> LogicToolWindow::whileAlive(std::function<void()> f) const {
    return liveness_.guard(std::move(f));
}

} // namespace kvt::ui
