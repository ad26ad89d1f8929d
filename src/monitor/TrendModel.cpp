#include "monitor/TrendModel.h"

#include "monitor/CsvExport.h"
#include "monitor/UnitTable.h"

#include <cmath>
#include <set>

namespace kvt::monitor {

namespace {
constexpr const char* kExportTitle = "Export CSV";

std::string_view unitName(int index) {
    return UnitTable::name(index);
}
} // namespace

const char* TrendModel::windowCaption(int seconds) {
    switch (seconds) {
    case 60:
        return "1 min";
    case 300:
        return "5 min";
    case 900:
        return "15 min";
    case 3600:
        return "60 min";
    default:
        return "All";
    }
}

double TrendModel::now() const {
    const auto d = clock_.date();
    return localSeconds(d.year, d.month, d.day, clock_.timeOfDay());
}

void TrendModel::record(const config::DeviceRecord& rec, const std::string& reply) {
    const std::size_t d = history.device({rec.Number, rec.Address, rec.Name});
    history.append(d, now(), trendReading(reply), rec.SetPoint, rec.EngUnit);
    ++revision_;
}

void TrendModel::chooseWindow(int seconds) {
    window_ = seconds;
    follow_ = true;
    ++revision_;
}

void TrendModel::viewRange(double from, double to) {
    if (!(to > from) || !std::isfinite(from) || !std::isfinite(to))
        return;
    fixed_ = {from, to};
    follow_ = false;
    ++revision_;
}

void TrendModel::reset() {
    window_ = 300;
    follow_ = true;
    ++revision_;
}

std::pair<double, double> TrendModel::range() const {
    if (!follow_)
        return fixed_;
    const double end = now();
    if (window_ > 0)
        return {end - window_, end};
    auto span = history.span();
    double start = span ? span->first : end - 60.0;
    return {std::min(start, end - 1.0), end};
}

bool TrendModel::shown(std::size_t device) const {
    return device >= hidden_.size() || !hidden_[device];
}

void TrendModel::setShown(std::size_t device, bool on) {
    if (device >= hidden_.size())
        hidden_.resize(device + 1, false);
    hidden_[device] = !on;
    ++revision_;
}

std::string TrendModel::axisTitle() const {
    auto [from, to] = range();
    std::set<int> units;
    std::vector<int> order;
    for (std::size_t d = 0; d < history.deviceCount(); ++d) {
        if (!shown(d))
            continue;
        for (const auto& run : history.plot(d, from, to, 1))
            if (units.insert(run.unit).second)
                order.push_back(run.unit);
    }
    return axisTitle(order);
}

std::string TrendModel::axisTitle(const std::vector<int>& order) {
    std::string title = "Flow";
    if (order.empty())
        return title;
    title += " [";
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i)
            title += ", ";
        title += unitName(order[i]);
    }
    return title + "]";
}

std::string TrendModel::legendName(std::size_t device) const {
    const auto& who = history.deviceInfo(device);
    std::string name = who.number;
    if (!who.address.empty())
        name += " (" + who.address + ")";
    if (!who.name.empty())
        name += " " + who.name;
    return name;
}

std::string TrendModel::exportCsv(const std::string& path, bool visibleOnly) const {
    auto [from, to] = visibleOnly ? range() : std::pair<double, double>{-INFINITY, INFINITY};
    return exportTrendCsv(path, history, from, to, unitName);
}

void TrendModel::exportAsked(platform::Operator& op, const std::string& folder) const {
    if (history.deviceCount() == 0) {
        op.message({"No readings have been kept yet: start monitoring first.", kExportTitle,
                    platform::Buttons::Ok, platform::Icon::Information, 0});
        return;
    }
    auto which =
        op.message({"Export only the time range shown in the Trend window?\r"
                    "Yes: the range shown. No: the whole kept history.",
                    kExportTitle, platform::Buttons::YesNoCancel, platform::Icon::Question, 1});
    if (which == platform::Answer::Cancel)
        return;
    auto chosen =
        op.chooseFile({.title = kExportTitle,
                       .filter = "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*",
                       .proposedName = folder.empty() ? "trend.csv" : folder + "/trend.csv",
                       .save = true});
    if (!chosen || chosen->empty())
        return;
    const std::string error = exportCsv(*chosen, which == platform::Answer::Yes);
    if (!error.empty())
        op.message({error, kExportTitle, platform::Buttons::Ok, platform::Icon::Exclamation, 0});
}

} // namespace kvt::monitor
