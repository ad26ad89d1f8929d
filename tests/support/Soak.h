#pragma once

// A long run of multi-unit monitoring on the simulated runtime: up to 64 devices at the fastest
// tick, the pages turned one after the other, a share of the replies lost and a share garbled.
// Every device flows at its own rate, so a reading drawn in another device's panel is caught.
// Shared by the bounded soak test and the full-day soak program.

#include "link/NumberText.h"
#include "monitor/MultiUnitMonitor.h"
#include "monitor/TrendModel.h"
#include "sim/Rng.h"
#include "sim/Wire.h"
#include "support/TerminalWorld.h"

#include <cmath>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <unistd.h>

namespace kvt::testing {

// Resident set of this process, KiB (0 where /proc is missing).
inline long residentKb() {
    long pages = 0, resident = 0; // a failed read leaves 0
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct SoakFigures {
    double hours = 0.0;
    std::size_t replies = 0; // replies the devices gave
    std::size_t dropped = 0;
    std::size_t garbled = 0;
    std::size_t readingsChecked = 0; // panel readings looked at
    std::size_t misplaced = 0;       // readings or panels showing another device
    std::string firstMisplaced;
    std::size_t pageTurns = 0;
    std::size_t maxInFlight = 0;
    std::size_t boxes = 0;
    long rssFirstHourKb = 0; // at the end of the first hour
    long rssEndKb = 0;
    std::size_t trendFirstHourBytes = 0;
    std::size_t trendEndBytes = 0;
    std::size_t maxPendingEvents = 0;
    std::size_t devicesRead = 0; // devices whose own reading was seen in their panel
};

class Soak {
public:
    static constexpr double kPageSeconds = 3.0; // a page turn this often
    static constexpr double kCheckSeconds = 0.05;

    Soak(int devices, double dropPercent, double garblePercent, std::uint64_t seed = 7)
        : devices_(devices), drop_(dropPercent), garble_(garblePercent), rng_(seed),
          garbler_(100.0, seed + 1),
          world_(sim::LineMode::Rs485, monitoredDevices(flows(devices))) {
        world_.prefs.save("KVT Control Terminal", "Properties", "Time_ms", "0"); // 50 ms
        for (int i = 1; i <= devices; ++i)
            world_.bus.device(static_cast<std::size_t>(i - 1))
                .handle("s," + link::formatPattern(flowOf(i), "####0.000"), 0.0);
        world_.port.rewriteReply = [this](std::string r) { return fault(std::move(r)); };
    }

    // Each device's own flow, a whole 1.5 SLPM away from every other.
    static double flowOf(int slot) { return 1.5 * slot; }
    static std::vector<double> flows(int devices) {
        std::vector<double> out;
        for (int i = 1; i <= devices; ++i)
            out.push_back(flowOf(i));
        return out;
    }

    // Runs `hours` of monitoring. Memory is first sampled after `firstSampleHours`, then at every
    // full hour, when `onHour` is told the figures so far.
    SoakFigures run(double hours, double firstSampleHours = 1.0,
                    const std::function<void(const SoakFigures&)>& onHour = {}) {
        auto& t = world_.start();
        world_.op.shown.clear();
        t.menuClick("mnuAutoM");
        scheduleCheck();
        schedulePageTurn();
        const double start = world_.rt.now();
        const double total = hours * 3600.0;
        double done = 0.0;
        while (done < total) {
            double step = std::min(60.0, total - done);
            world_.rt.runFor(step);
            done += step;
            // The harness's own records would otherwise grow with the run.
            world_.bus.forgetHistory();
            world_.port.written.clear();
            world_.taken = 0;
            figures_.maxPendingEvents =
                std::max(figures_.maxPendingEvents, world_.rt.pendingEvents());
            figures_.boxes = world_.op.shown.size();
            figures_.devicesRead = seen_.size();
            figures_.hours = (world_.rt.now() - start) / 3600.0;
            const bool firstSample =
                figures_.rssFirstHourKb == 0 && done >= firstSampleHours * 3600.0;
            const bool fullHour = std::fmod(done, 3600.0) < 1e-6;
            if (firstSample || fullHour || done >= total) {
                figures_.rssEndKb = residentKb();
                figures_.trendEndBytes = t.trend().history.bytes();
                if (firstSample) {
                    figures_.rssFirstHourKb = figures_.rssEndKb;
                    figures_.trendFirstHourBytes = figures_.trendEndBytes;
                }
                if (onHour && fullHour)
                    onHour(figures_);
            }
        }
        t.menuClick("mnuAutoM");
        world_.rt.runFor(2.0);
        return figures_;
    }

private:
    std::string fault(std::string framed) {
        ++figures_.replies;
        const double roll = rng_.uniform() * 100.0;
        if (roll < drop_) {
            ++figures_.dropped;
            return {};
        }
        if (roll < drop_ + garble_) {
            ++figures_.garbled;
            framed = garbler_.apply(std::move(framed));
            // Named by the command it answers: the garbage may have gone into the header.
            const auto& log = world_.bus.commandLog();
            auto& kept = garbledBy_[log.empty() ? std::string{} : log.back().substr(1, 2)];
            kept.push_back(framed.substr(0, framed.find('\r')));
            if (kept.size() > 4)
                kept.pop_front();
        }
        return framed;
    }

    // A reading belongs to the device when it carries that device's flow, or is what a garbled
    // reply of that device left of it.
    bool belongs(int slot, const std::string& reading) {
        if (std::abs(link::leadingNumber(reading) - flowOf(slot)) < 0.25)
            return true;
        for (const auto& g : garbledBy_[world_.term->table.record(slot).Address])
            if (g.find(reading) != std::string::npos)
                return true;
        return false;
    }

    void check() {
        auto& t = *world_.term;
        const int offset = t.multi().pageOffset();
        for (int k = 0; k < 4; ++k) {
            const auto& p = t.model.fraMD[static_cast<std::size_t>(k)];
            if (!p.fra.visible)
                continue;
            const int slot = offset + k + 1;
            const std::string& reading = p.lblRe.caption;
            const bool rightPanel = p.lblNum.caption == std::to_string(slot);
            if (reading.empty() || reading == "No reply") {
                if (!rightPanel)
                    misplaced("panel " + std::to_string(k) + " names " + p.lblNum.caption, slot);
                continue;
            }
            ++figures_.readingsChecked;
            if (!rightPanel || !belongs(slot, reading))
                misplaced("\"" + reading + "\" in panel " + std::to_string(k), slot);
            else
                seen_.insert(slot);
        }
        figures_.maxInFlight = std::max(figures_.maxInFlight, t.engine().inFlight());
    }

    void misplaced(const std::string& what, int slot) {
        if (figures_.misplaced++ == 0)
            figures_.firstMisplaced = what + " of device " + std::to_string(slot) + " at " +
                                      std::to_string(world_.rt.now()) + " s";
    }

    void scheduleCheck() {
        world_.rt.schedule(kCheckSeconds, [this] {
            check();
            scheduleCheck();
        });
    }

    // Forward to the last page, back to the first, and again.
    void schedulePageTurn() {
        world_.rt.schedule(kPageSeconds, [this] {
            auto& m = world_.term->multi();
            if (!world_.term->engine().autoMultiMonitoring)
                return;
            if (m.last() >= devices_)
                forward_ = false;
            else if (m.first() <= 1)
                forward_ = true;
            forward_ ? m.cmdRightSh_Click() : m.cmdLeftSh_Click();
            ++figures_.pageTurns;
            schedulePageTurn();
        });
    }

    int devices_;
    double drop_;
    double garble_;
    sim::Rng rng_;
    sim::Garbler garbler_;
    TerminalWorld world_;
    SoakFigures figures_;
    std::map<std::string, std::deque<std::string>> garbledBy_;
    std::set<int> seen_;
    bool forward_ = true;
};

} // namespace kvt::testing
