#pragma once

#include <string>
#include <vector>

namespace kvt::monitor {

// One entry of the main window's menu bar. Top-level menus have an empty parent; a separator
// stands before an entry when separatorBefore is set.
struct MenuNode {
    std::string name;
    std::string parent;
    std::string caption;
    std::string shortcut;
    bool enabledAtStart = true;
    bool separatorBefore = false;
};

// The whole menu tree in display order (parents before their children).
const std::vector<MenuNode>& terminalMenuTree();

// True for an entry that opens a submenu (some entry names it as parent).
bool isMenuParent(const std::string& name);

// Toolbar buttons in display order.
struct ToolbarNode {
    std::string key;
    std::string toolTip;
};
const std::vector<ToolbarNode>& terminalToolbar();

} // namespace kvt::monitor
