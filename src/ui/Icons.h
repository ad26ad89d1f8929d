#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>

namespace kvt::ui {

// Every picture of the program is drawn here at start-up; there are no image files to ship.

// The glyph of a main-window toolbar button, by its key. An unknown key gives a plain frame so
// that a new button still shows something.
QIcon toolbarIcon(const std::string& key);

// The connection indicator of Frame1: plug in the socket (connected) or pulled out.
QPixmap connectionPixmap(bool connected, int size = 32);

// The program's logo: a flow tube with its controller head.
QPixmap flowTubeLogo(int width = 96);

} // namespace kvt::ui
