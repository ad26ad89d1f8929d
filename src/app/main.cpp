#include "app/TerminalApplication.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("KVT Control Terminal");
    kvt::app::TerminalApplication terminal;
    terminal.start();
    return QApplication::exec();
}
