// Renders the program's logo as the square PNG icons the desktop needs:
//   kvt-render-icon SIZE OUTPUT.png

#include "ui/Icons.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kvt-render-icon SIZE OUTPUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "kvt-render-icon: size must be 16 to 1024\n");
        return 2;
    }
    // Runs during the build: never wants a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    {
        // The logo is wider than high: centred on the square.
        const QPixmap logo = kvt::ui::flowTubeLogo(size);
        QPainter p(&icon);
        p.drawPixmap(0, (size - logo.height()) / 2, logo);
    }
    if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kvt-render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
