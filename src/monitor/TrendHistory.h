#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::monitor {

// The flow value of a reading reply, or nullopt when the reply holds no number at its start (a
// time-out gives the empty reply): such a reading is a gap in the trend, never a zero.
std::optional<double> trendReading(std::string_view reply);

// Local wall-clock seconds since 1970-01-01 00:00 of the same clock (no time zone applied).
double localSeconds(int year, int month, int day, double timeOfDay);

// One reading as kept at full resolution. NaN flow: no reading came (a gap).
struct TrendSample {
    double time = 0.0; // localSeconds
    float flow = 0.0F;
    float setPoint = 0.0F;
    std::int16_t unit = 0;
};

// One second of older history: the range of the flow and the last reading of that second.
struct TrendBucket {
    double lastTime = 0.0; // time of the last reading folded in
    float flowMin = 0.0F;  // NaN when every reading of the second was a gap
    float flowMax = 0.0F;
    float flowLast = 0.0F;
    float setPoint = 0.0F; // of the last reading
    std::int16_t unit = 0;
    bool gap = false; // a gap fell inside the second
};

// A device as the history names it.
struct TrendDevice {
    std::string number;
    std::string address;
    std::string name;
};

// A point of the plot: a column of pixels spans [time, time + width) and shows low..high.
struct TrendPoint {
    double time = 0.0;
    double low = 0.0;
    double high = 0.0;
    double setPoint = 0.0;
};

// One unbroken stretch of a line: no gap, one unit.
struct TrendRun {
    std::int16_t unit = 0;
    std::vector<TrendPoint> points;
};

// A point of a plotted line.
struct TrendXY {
    double x = 0.0;
    double y = 0.0;
};

// A device's flow and set-point lines as one polyline each: per column its lowest and highest
// reading (one point when they agree), and a NaN point between runs, so a gap or a unit change
// breaks the line without a series of its own. x = time * xScale + xOffset.
struct TrendPolylines {
    std::vector<TrendXY> flow;
    std::vector<TrendXY> setPoint;
    double low = INFINITY; // the range of the values drawn
    double high = -INFINITY;
};
TrendPolylines trendPolylines(const std::vector<TrendRun>& runs, double xScale, double xOffset);

// Fixed-capacity ring: push overwrites the oldest entry once full, so the steady state never
// allocates. Storage grows as it fills, so a slowly sampled device costs what it holds.
template <typename T> class Ring {
public:
    explicit Ring(std::size_t capacity = 0) : capacity_(capacity) {}
    std::size_t size() const { return count_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return count_ == 0; }
    // 0 = oldest.
    const T& operator[](std::size_t i) const { return data_[(head_ + i) % data_.size()]; }
    T& operator[](std::size_t i) { return data_[(head_ + i) % data_.size()]; }
    const T& front() const { return (*this)[0]; }
    const T& back() const { return (*this)[count_ - 1]; }
    T& back() { return (*this)[count_ - 1]; }
    // Returns the entry it pushed out, if any.
    std::optional<T> push(const T& v) {
        if (capacity_ == 0)
            return v;
        if (count_ < data_.size()) {
            data_[(head_ + count_) % data_.size()] = v;
            ++count_;
            return std::nullopt;
        }
        if (data_.size() < capacity_) {
            std::rotate(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(head_),
                        data_.end());
            head_ = 0;
            if (data_.size() == data_.capacity())
                data_.reserve(std::min(capacity_, std::max<std::size_t>(64, 2 * data_.size())));
            data_.push_back(v);
            ++count_;
            return std::nullopt;
        }
        T old = data_[head_];
        data_[head_] = v;
        head_ = (head_ + 1) % data_.size();
        return old;
    }
    // Calls f(entry) from entry i on, oldest first, until f returns false; walks the storage in
    // at most two straight stretches.
    template <typename F> void forEachFrom(std::size_t i, F&& f) const {
        const std::size_t n = data_.size();
        while (i < count_) {
            const std::size_t at = (head_ + i) % n;
            const std::size_t run = std::min(count_ - i, n - at);
            for (std::size_t k = 0; k < run; ++k)
                if (!f(data_[at + k]))
                    return;
            i += run;
        }
    }
    void popFront() {
        if (count_ == 0)
            return;
        head_ = (head_ + 1) % data_.size();
        --count_;
    }
    void clear() {
        data_.clear();
        head_ = count_ = 0;
    }
    std::size_t bytes() const { return data_.capacity() * sizeof(T); }

private:
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::vector<T> data_;
};

// The readings of every monitored device: full resolution for the last hour (at most one reading
// each 50 ms), then one bucket a second up to a day; older readings are dropped.
class TrendHistory {
public:
    static constexpr double kFineSeconds = 3600.0;
    static constexpr double kKeptSeconds = 24.0 * 3600.0;
    static constexpr std::size_t kFineCapacity = 72000;   // an hour at 50 ms
    static constexpr std::size_t kCoarseCapacity = 86400; // a day of seconds
    // Readings further apart than this are not joined by a line.
    static constexpr double kJoinSeconds = 10.0;

    // The device's index, added on first sight (only this allocates). Number and address name
    // the device; a new name is taken over.
    std::size_t device(const TrendDevice& who);
    std::size_t deviceCount() const { return devices_.size(); }
    const TrendDevice& deviceInfo(std::size_t d) const { return devices_[d].who; }

    // O(1): a reading (nullopt: a gap) at `time`, which never goes back (an earlier time is taken
    // as the last one).
    void append(std::size_t d, double time, std::optional<double> flow, double setPoint, int unit);

    const Ring<TrendSample>& fine(std::size_t d) const { return devices_[d].fine; }
    const Ring<TrendBucket>& coarse(std::size_t d) const { return devices_[d].coarse; }

    // Time of the first and last reading kept over all devices; nullopt when empty.
    std::optional<std::pair<double, double>> span() const;

    // The device's line between `from` and `to` decimated to `columns` columns: each column
    // shows the range of the readings in it; an empty column or a unit change breaks the line.
    std::vector<TrendRun> plot(std::size_t d, double from, double to, int columns) const;

    void clear();
    // Bytes the kept history takes.
    std::size_t bytes() const;

private:
    struct Series {
        TrendDevice who;
        Ring<TrendSample> fine{kFineCapacity};
        Ring<TrendBucket> coarse{kCoarseCapacity};
    };
    void fold(Series& s, const TrendSample& old);
    std::vector<Series> devices_;
};

} // namespace kvt::monitor
