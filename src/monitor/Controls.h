#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kvt::monitor {

// One named control of a window as the logic sees it; the widget layer mirrors it.
struct Control {
    std::string caption{};  // caption or text
    std::string toolTip{};
    bool enabled = true;
    bool visible = true;
    bool checked = false;
};

// A keyed panel of a status bar.
struct Panel {
    std::string text{};
    std::string toolTip{};
};

// Lets the widget layer follow a model: the logic calls changed() after it edits controls.
class Observable {
public:
    using Listener = std::function<void()>;
    void subscribe(Listener l) { listeners_.push_back(std::move(l)); }
    void changed() const {
        for (const auto& l : listeners_)
            l();
    }

private:
    std::vector<Listener> listeners_;
};

} // namespace kvt::monitor
