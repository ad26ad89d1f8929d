#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace kvt::ui {

// Holds a label whose text changes with every exchange (a reading, the last command). A label
// in a layout asks the whole window to lay itself out again at each new text, which costs more
// than the exchange; here the label has no layout around it and a size fixed to its holder's,
// so a new text repaints the label alone. It paints its own background, so the frame beneath
// is not repainted either. The holder takes the label's size policy and minimum width.
class SteadyLabel : public QWidget {
public:
    SteadyLabel(QLabel* label, QWidget* parent) : QWidget(parent), label_(label) {
        setSizePolicy(label->sizePolicy());
        setMinimumWidth(label->minimumWidth());
        label->setMinimumWidth(0);
        label->setParent(this);
        label->setAutoFillBackground(true);
        label->move(0, 0);
    }

    QSize sizeHint() const override {
        // The height of one line in the label's font; the width the layout gives.
        return {minimumWidth(),
                label_->fontMetrics().height() + 2 * label_->margin() + 2 * label_->frameWidth()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override { label_->setFixedSize(event->size()); }

private:
    QLabel* label_;
};

// A progress bar drawn as plain blocks: the default look draws anti-aliased stripes over the
// whole bar at every step, which costs a program run more than its exchanges.
inline QProgressBar* blockProgressBar(QWidget* parent) {
    static QStyle* const blocks = QStyleFactory::create("Windows");
    auto* bar = new QProgressBar(parent);
    if (blocks)
        bar->setStyle(blocks);
    return bar;
}

// A progress bar paints itself at once when its value changes; the window is repainted a moment
// later anyway, so the bar joins that paint instead of painting the window twice.
inline void setProgressValue(QProgressBar* bar, int value) {
    if (bar->value() == value)
        return;
    bar->setUpdatesEnabled(false);
    bar->setValue(value);
    bar->setUpdatesEnabled(true);
    bar->update();
}

} // namespace kvt::ui
