#include "app/TerminalApplication.h"

#include <QApplication>

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << kvt::app::terminalVersionText();
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << kvt::app::terminalHelpText();
            return 0;
        }
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName("KVT Control Terminal");
    kvt::app::TerminalApplication terminal;
    terminal.start();
    return QApplication::exec();
}
