#pragma once

namespace kvt::monitor {

class FrmTerminal;

// The communication properties dialog's logic ("CommPort Properties").
class FrmProperties {
public:
    explicit FrmProperties(FrmTerminal& terminal);
    // Fills the lists and loads the current settings (runs the selection handlers).
    void Form_Load();
    bool closed() const { return closed_; }

private:
    FrmTerminal& t_;
    bool closed_ = false;
};

} // namespace kvt::monitor
