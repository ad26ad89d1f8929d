// Trend history, its 24-hour repaint and the bus-health observer.
//   bench_trend [hours=24]
// 8 devices read every 50 ms for 24 hours (synthesised): memory of the kept history, cost and
// allocations of one append in the steady state, decimation and a full repaint of the 24-hour
// view in the Trend window (offscreen), and the observer's cost per exchange.

#include "BenchSupport.h"
#include "link/BusStatistics.h"
#include "monitor/TrendModel.h"
#include "ui/TrendWindow.h"

#include <QApplication>
#include <QChartView>
#include <QPixmap>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> gAllocations{0};
} // namespace

void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace kvt;

// A clock standing where the benchmark puts it.
struct FixedClock final : platform::Clock {
    double local = 0.0;
    double timeOfDay() const override { return std::fmod(local, 86400.0); }
    platform::Date date() const override {
        // 2026-03-01 + whole days; the benchmark stays inside March.
        return {2026, 3, 1 + static_cast<int>((local - base) / 86400.0)};
    }
    double monotonic() const override { return bench::monotonicNow(); }
    double base = monitor::localSeconds(2026, 3, 1, 0.0);
};

constexpr int kDevices = 8;
constexpr double kStep = 0.05;

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const double hours = argc > 1 ? std::max(1.1, std::atof(argv[1])) : 24.0;
    int rc = 0;

    FixedClock clock;
    clock.local = clock.base;
    monitor::TrendModel model(clock);
    auto& h = model.history;
    std::vector<std::size_t> ids;
    for (int d = 0; d < kDevices; ++d)
        ids.push_back(h.device(
            {std::to_string(d + 1), "0" + std::to_string(d + 1), "Line " + std::to_string(d + 1)}));

    // A day and a bit, so every ring has wrapped; the last tenth is timed.
    const double seconds = hours * 3600.0 + 600.0;
    const long total = static_cast<long>(seconds / kStep);
    const long timedFrom = total - total / 10;
    double t = clock.base;
    auto appendAll = [&](long i) {
        for (int d = 0; d < kDevices; ++d) {
            const bool gap = (i + d) % 997 == 0;
            const double flow = 50.0 + 10.0 * std::sin(static_cast<double>(i) / 2000.0 + d);
            h.append(ids[static_cast<std::size_t>(d)], t,
                     gap ? std::nullopt : std::optional<double>(flow), 50.0, 1);
        }
        t += kStep;
    };
    for (long i = 0; i < timedFrom; ++i)
        appendAll(i);
    const long before = gAllocations.load();
    const double start = bench::monotonicNow();
    for (long i = timedFrom; i < total; ++i)
        appendAll(i);
    const double timed = bench::monotonicNow() - start;
    const long allocations = gAllocations.load() - before;
    // The timing starts at timedFrom and runs to the end.
    const double appends = static_cast<double>((total - timedFrom) * kDevices);
    const double mb = static_cast<double>(h.bytes()) / (1024.0 * 1024.0);
    std::printf("history: %d devices, 50 ms, %.1f h synthesised: %.1f MB kept (limit 50 MB)\n",
                kDevices, seconds / 3600.0, mb);
    std::printf("append (steady state): %.0f ns each, %ld allocations in %.0f appends\n",
                1e9 * timed / appends, allocations, appends);
    if (mb > 50.0 || allocations != 0)
        rc = 1;

    // Decimation of the whole day for every device.
    clock.local = t;
    auto span = h.span();
    std::vector<double> decimate;
    for (int r = 0; r < 20; ++r) {
        double start = bench::monotonicNow();
        std::size_t points = 0;
        for (auto d : ids)
            for (const auto& run :
                 h.plot(d, span->first, span->second + 1.0, ui::TrendWindow::kColumns))
                points += run.points.size();
        decimate.push_back(bench::monotonicNow() - start);
        if (points == 0)
            rc = 1;
    }
    std::printf(
        "decimation of the kept history x %d devices to %d columns: median %.2f ms, max %.2f ms\n",
        kDevices, ui::TrendWindow::kColumns, 1e3 * bench::percentile(decimate, 0.5),
        1e3 * bench::percentile(decimate, 1.0));

    // The Trend window showing all of it: model to series to pixels.
    model.chooseWindow(0);
    bench::BenchOperator op;
    ui::TrendWindow window(model, op, "/tmp");
    window.resize(1200, 700);
    window.show();
    app.processEvents();
    std::vector<double> repaint;
    for (int r = 0; r < 15; ++r) {
        double start = bench::monotonicNow();
        window.redraw();
        QPixmap shot = window.chartView()->grab();
        repaint.push_back(bench::monotonicNow() - start);
        if (shot.isNull())
            rc = 1;
    }
    const double repaintMedian = 1e3 * bench::percentile(repaint, 0.5);
    std::printf(
        "repaint of the whole kept view (1200x700, redraw + paint): median %.1f ms, max %.1f ms "
        "(limit 30 ms)\n",
        repaintMedian, 1e3 * bench::percentile(repaint, 1.0));
    if (repaintMedian > 30.0)
        rc = 1;

    // The observer's share of an exchange: a command written and its reply taken.
    link::BusStatistics stats(clock);
    const std::string addresses[] = {"01", "02", "03", "04", "05", "06", "07", "08"};
    const int exchanges = 2'000'000;
    const double observerStart = bench::monotonicNow();
    for (int i = 1; i <= exchanges; ++i) {
        stats.commandWritten(static_cast<std::uint64_t>(i), addresses[i % 8]);
        stats.replyTaken(static_cast<std::uint64_t>(i), "01+050.00 +050.00 SLPM");
    }
    const double perExchange = 1e9 * (bench::monotonicNow() - observerStart) / exchanges;
    std::printf("bus-health observer: %.0f ns per exchange (limit 1000 ns)\n", perExchange);
    if (perExchange > 1000.0)
        rc = 1;
    return rc;
}
