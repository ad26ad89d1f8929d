#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kvt::monitor {

// Title of most of the program's messages and confirmations.
inline constexpr const char* kSystemMonitor = "System Monitor";

// One named control of a window as the logic sees it; the widget layer mirrors it.
struct Control {
    std::string caption{}; // caption or text
    std::string toolTip{};
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    std::string shortcut{}; // menu items: "Ctrl+F", "Shift+F9", ...
    bool alert = false;     // drawn in red instead of the window-text colour
    bool operator==(const Control&) const = default;
};

// A scroll bar. The widget layer moves it from the model without raising the change handler; the
// logic decides which moves count as changes.
struct ScrollControl {
    int value = 0;
    int min = 0;
    int max = 1100;
    int largeChange = 10;
    bool enabled = true;
    bool visible = true;
    bool operator==(const ScrollControl&) const = default;
};

// A combo or list box: items with their item data, and the selection (-1: none).
struct ListControl {
    std::vector<std::string> items{};
    std::vector<int> itemData{};
    int listIndex = -1;
    bool enabled = true;
    bool visible = true;
    std::string text() const {
        return listIndex >= 0 && listIndex < static_cast<int>(items.size()) ? items[listIndex] : "";
    }
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
