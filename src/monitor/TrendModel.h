#pragma once

#include "config/DeviceRecord.h"
#include "monitor/TrendHistory.h"
#include "platform/Operator.h"
#include "platform/Runtime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kvt::monitor {

// The Trend window's logic: the kept history, what the plot shows and the operator's view
// choices. Monitoring feeds it whether the window is open or not.
class TrendModel {
public:
    explicit TrendModel(platform::Clock& clock) : clock_(clock) {}

    // Time windows offered, seconds; 0 = all that is kept.
    static constexpr int kWindows[] = {60, 300, 900, 3600, 0};
    static const char* windowCaption(int seconds);

    // A reading reply of a monitored device (empty: it timed out).
    void record(const config::DeviceRecord& rec, const std::string& reply);
    double now() const;

    TrendHistory history;
    std::string exportFolder; // where the file chooser proposes "trend.csv"

    // View.
    int windowSeconds() const { return window_; }
    void chooseWindow(int seconds);
    bool following() const { return follow_; }
    // Zoom or pan by the operator: the view stays put until follow resumes.
    void viewRange(double from, double to);
    void resumeFollow() { follow_ = true, ++revision_; }
    void reset();
    // The time range shown now.
    std::pair<double, double> range() const;

    bool shown(std::size_t device) const;
    void setShown(std::size_t device, bool on);

    // Axis title: "Flow" and the units of the shown devices' readings in range.
    std::string axisTitle() const;
    // The same for units already known, in the order met.
    static std::string axisTitle(const std::vector<int>& units);
    // Legend text of a device.
    std::string legendName(std::size_t device) const;

    // Writes the kept history (or only the range shown) to `path`; "" or the message to show.
    std::string exportCsv(const std::string& path, bool visibleOnly) const;

    // "Export CSV...": asks whether only the range shown is wanted, then for the file, and
    // writes it; a failure is told with the host's reason.
    void exportAsked(platform::Operator& op, const std::string& folder) const;

    // Bumped on every change a window must redraw for.
    std::uint64_t revision() const { return revision_; }

private:
    platform::Clock& clock_;
    int window_ = 300;
    bool follow_ = true;
    std::pair<double, double> fixed_{0.0, 1.0};
    std::vector<bool> hidden_;
    std::uint64_t revision_ = 0;
};

} // namespace kvt::monitor
