#include "ui/Icons.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <functional>

namespace kvt::ui {

namespace {

using Draw = std::function<void(QPainter&)>;

// Draws in a square of `logical` units scaled to `size` pixels, on a transparent background.
QPixmap render(int size, double logical, const Draw& draw) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / logical, size / logical);
    draw(p);
    return pm;
}

QIcon icon(const Draw& draw) {
    QIcon result;
    for (int size : {16, 24, 32, 48})
        result.addPixmap(render(size, 24.0, draw));
    return result;
}

const QColor kInk(0x33, 0x33, 0x33);
const QColor kGreen(0x2e, 0x9d, 0x48);
const QColor kRed(0xd0, 0x30, 0x30);
const QColor kBlue(0x2a, 0x6c, 0xc8);

// A sheet of paper with a folded corner and a few lines of text.
void page(QPainter& p, QRectF r) {
    const double fold = 4.0;
    QPolygonF outline{{r.left(), r.top()},
                      {r.right() - fold, r.top()},
                      {r.right(), r.top() + fold},
                      {r.right(), r.bottom()},
                      {r.left(), r.bottom()}};
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(Qt::white);
    p.drawPolygon(outline);
    p.drawPolyline(QPolygonF{{r.right() - fold, r.top()},
                             {r.right() - fold, r.top() + fold},
                             {r.right(), r.top() + fold}});
    p.setPen(QPen(QColor(0x90, 0xa0, 0xb8), 1.0));
    for (double y = r.top() + 6; y < r.bottom() - 1.5; y += 3)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void letter(QPainter& p, QRectF r, const QString& text, QColor colour) {
    QFont f;
    f.setBold(true);
    f.setPixelSize(static_cast<int>(r.height()));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void playBadge(QPainter& p) {
    p.setPen(QPen(Qt::white, 1.0));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF{{13.5, 12.5}, {23, 17.5}, {13.5, 22.5}});
}

void stopBadge(QPainter& p) {
    p.setPen(QPen(Qt::white, 1.0));
    p.setBrush(kRed);
    p.drawRect(QRectF(14, 13.5, 8.5, 8.5));
}

void crossBadge(QPainter& p) {
    p.setPen(QPen(kRed, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.5, 13.5), QPointF(22, 21));
    p.drawLine(QPointF(22, 13.5), QPointF(14.5, 21));
}

void arrow(QPainter& p, QPointF from, QPointF to, QColor colour) {
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    const double len = std::hypot(dx, dy);
    const double ux = dx / len, uy = dy / len;
    const double head = 6.0;
    QPointF base(to.x() - ux * head, to.y() - uy * head);
    p.setPen(QPen(colour, 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(from, base);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF{to,
                            {base.x() - uy * 4.5, base.y() + ux * 4.5},
                            {base.x() + uy * 4.5, base.y() - ux * 4.5}});
}

// A flow device seen from the front: housing with a small display.
void device(QPainter& p, QRectF r) {
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(QColor(0x5a, 0x6e, 0x8c));
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xf0, 0xb0));
    p.drawRect(QRectF(r.left() + 2, r.top() + 2, r.width() - 4, std::min(4.0, r.height() / 2.5)));
}

void folder(QPainter& p) {
    p.setPen(QPen(QColor(0x8a, 0x60, 0x10), 1.0));
    p.setBrush(QColor(0xd9, 0xa4, 0x41));
    p.drawPolygon(QPolygonF{{1.5, 5}, {8, 5}, {10, 7}, {20, 7}, {20, 20.5}, {1.5, 20.5}});
    page(p, QRectF(5, 2.5, 12, 13));
    p.setPen(QPen(QColor(0x8a, 0x60, 0x10), 1.0));
    p.setBrush(QColor(0xf3, 0xc8, 0x62));
    p.drawPolygon(QPolygonF{{1.5, 20.5}, {5, 11}, {23, 11}, {20, 20.5}});
}

void gear(QPainter& p) {
    p.save();
    p.translate(12, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x70, 0x78, 0x84));
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-2, -11, 4, 5));
        p.rotate(45);
    }
    p.setPen(QPen(kInk, 0.8));
    p.drawEllipse(QPointF(0, 0), 7.5, 7.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(0, 0), 3, 3);
    p.restore();
}

void info(QPainter& p) {
    p.setPen(QPen(kBlue.darker(130), 1.0));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(12, 12), 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 6.8), 1.8, 1.8);
    p.drawRoundedRect(QRectF(10.4, 10, 3.2, 8.5), 0.8, 0.8);
}

} // namespace

QIcon toolbarIcon(const std::string& key) {
    if (key == "OpenLogFile")
        return icon(folder);
    if (key == "CloseLogFile")
        return icon([](QPainter& p) {
            page(p, QRectF(3, 2, 14, 19));
            crossBadge(p);
        });
    if (key == "ALogO" || key == "ALogC") {
        const bool open = key == "ALogO";
        return icon([open](QPainter& p) {
            page(p, QRectF(3, 2, 14, 19));
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4, 6, 9, 9));
            letter(p, QRectF(3.5, 5, 10, 10), "A", kBlue);
            if (open)
                playBadge(p);
            else
                stopBadge(p);
        });
    }
    if (key == "StartAS")
        return icon([](QPainter& p) {
            device(p, QRectF(2, 4, 12, 15));
            playBadge(p);
        });
    if (key == "StartAM")
        return icon([](QPainter& p) {
            device(p, QRectF(8, 1.5, 9, 9));
            device(p, QRectF(5, 5.5, 9, 9));
            device(p, QRectF(2, 9.5, 9, 9));
            playBadge(p);
        });
    if (key == "DialPhoneNumber") // settings go down into the device
        return icon([](QPainter& p) {
            device(p, QRectF(4, 13, 16, 9.5));
            arrow(p, QPointF(12, 1), QPointF(12, 12.5), kGreen);
        });
    if (key == "HangUpPhone") // the device's state comes up out of it
        return icon([](QPainter& p) {
            device(p, QRectF(4, 13, 16, 9.5));
            arrow(p, QPointF(12, 12.5), QPointF(12, 1), kBlue);
        });
    if (key == "Properties")
        return icon(gear);
    if (key == "TransmitTextFile")
        return icon(info);
    if (key == "RStart")
        return icon([](QPainter& p) {
            p.setPen(QPen(kRed.darker(140), 1.2));
            p.setBrush(kRed);
            p.drawEllipse(QPointF(12, 12), 7.5, 7.5);
        });
    if (key == "Trend") // a noisy line on a plot
        return icon([](QPainter& p) {
            p.setPen(QPen(kInk, 1.2));
            p.drawPolyline(QPolygonF{{3, 2}, {3, 21}, {22, 21}});
            p.setPen(QPen(kBlue, 1.6));
            p.drawPolyline(QPolygonF{{4, 16}, {8, 12}, {11, 14}, {14, 7}, {17, 9}, {21, 4}});
        });
    if (key == "BusHealth") // a line with three devices and a pulse
        return icon([](QPainter& p) {
            p.setPen(QPen(kInk, 1.4));
            p.drawLine(QPointF(2, 18), QPointF(22, 18));
            for (double x : {5.0, 12.0, 19.0})
                device(p, QRectF(x - 2.5, 11, 5, 6));
            p.setPen(QPen(kGreen, 1.6));
            p.drawPolyline(QPolygonF{{2, 6}, {8, 6}, {10, 2}, {13, 9}, {15, 6}, {22, 6}});
        });
    if (key == "RStop")
        return icon([](QPainter& p) {
            p.setPen(QPen(Qt::black, 1.0));
            p.setBrush(kInk);
            p.drawRect(QRectF(5.5, 5.5, 13, 13));
        });
    return icon([](QPainter& p) {
        p.setPen(QPen(kInk, 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(3.5, 3.5, 17, 17));
    });
}

QPixmap connectionPixmap(bool connected, int size) {
    return render(size, 32.0, [connected](QPainter& p) {
        QColor disc = connected ? kGreen : kRed;
        p.setPen(QPen(disc.darker(140), 1.0));
        p.setBrush(disc);
        p.drawEllipse(QPointF(16, 16), 15, 15);
        // Plug from the left, socket from the right; pulled apart when not connected.
        const double gap = connected ? 0.0 : 3.5;
        QPen white(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(white);
        p.drawLine(QPointF(3, 16), QPointF(8 - gap, 16));
        p.drawLine(QPointF(24 + gap, 16), QPointF(29, 16));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(8 - gap, 11.5, 6.5, 9), 1.2, 1.2);
        p.drawRoundedRect(QRectF(18 + gap, 10.5, 6.5, 11), 1.2, 1.2);
        p.setPen(white);
        p.drawLine(QPointF(14.5 - gap, 13.5), QPointF(18 - gap, 13.5));
        p.drawLine(QPointF(14.5 - gap, 18.5), QPointF(18 - gap, 18.5));
    });
}

QPixmap flowTubeLogo(int width) {
    const int height = width * 2 / 3;
    QPixmap pm(width, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(width / 96.0, height / 64.0);

    // The tube, lit from above.
    QLinearGradient steel(0, 36, 0, 54);
    steel.setColorAt(0, QColor(0xf2, 0xf4, 0xf7));
    steel.setColorAt(0.45, QColor(0xa8, 0xb2, 0xc0));
    steel.setColorAt(1, QColor(0x5c, 0x66, 0x74));
    p.setPen(QPen(QColor(0x44, 0x4c, 0x58), 1.0));
    p.setBrush(steel);
    p.drawRect(QRectF(8, 38, 80, 14));
    // Flanges at both ends.
    for (double x : {4.0, 86.0})
        p.drawRoundedRect(QRectF(x, 34, 6, 22), 1.5, 1.5);
    // Flow through it, left to right.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x6c, 0xc8, 200));
    for (double x : {18.0, 40.0, 62.0}) {
        QPainterPath chevron;
        chevron.moveTo(x, 41);
        chevron.lineTo(x + 9, 45);
        chevron.lineTo(x, 49);
        chevron.lineTo(x + 3, 45);
        chevron.closeSubpath();
        p.drawPath(chevron);
    }
    // Controller head with its display.
    QLinearGradient head(0, 4, 0, 34);
    head.setColorAt(0, QColor(0x3c, 0x64, 0xa0));
    head.setColorAt(1, QColor(0x1e, 0x38, 0x62));
    p.setPen(QPen(QColor(0x14, 0x24, 0x40), 1.0));
    p.setBrush(QColor(0x70, 0x78, 0x84));
    p.drawRect(QRectF(44, 30, 8, 8));
    p.setBrush(head);
    p.drawRoundedRect(QRectF(30, 4, 36, 27), 3, 3);
    p.setBrush(QColor(0xb8, 0xf0, 0xb0));
    p.drawRect(QRectF(35, 9, 26, 11));
    QFont f;
    f.setBold(true);
    f.setPixelSize(7);
    p.setFont(f);
    p.setPen(QColor(0x10, 0x40, 0x18));
    p.drawText(QRectF(35, 9, 26, 11), Qt::AlignCenter, "100.0");
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(38, 25.5), 2, 2);
    p.setBrush(QColor(0xe0, 0xa0, 0x20));
    p.drawEllipse(QPointF(44, 25.5), 2, 2);
    return pm;
}

} // namespace kvt::ui
