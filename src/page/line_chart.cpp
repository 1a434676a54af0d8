#include "page/line_chart.h"

#include <algorithm>
#include <limits>

#include "text/format.h"

std::vector<std::int64_t> AxisScale::ticks() const {
    std::vector<std::int64_t> result{min};
    // The first multiple of step above min (min may be negative).
    std::int64_t t = min / step * step;
    if (t <= min) t += step;
    for (; t <= max; t += step) result.push_back(t);
    return result;
}

AxisScale niceScale(std::int64_t min, std::int64_t max, std::int64_t minStep, std::int64_t maxIntervals,
                    bool roundUp) {
    minStep = std::max<std::int64_t>(minStep, 1);
    maxIntervals = std::max<std::int64_t>(maxIntervals, 1);
    max = std::max(max, min + minStep);
    const std::int64_t span = max - min;
    std::int64_t step = 0;
    // 1, 2, 5, 10, 20, 50, ... up to a step that covers the span at once.
    for (std::int64_t decade = 1; step == 0; decade *= 10) {
        for (std::int64_t m : {1, 2, 5}) {
            const std::int64_t s = m * decade;
            if (s < minStep) continue;
            if ((span + s - 1) / s <= maxIntervals || s >= span) {
                step = s;
                break;
            }
        }
        if (decade > std::numeric_limits<std::int64_t>::max() / 100) step = span;
    }
    if (roundUp) max = min + (span + step - 1) / step * step;
    return AxisScale{min, max, step};
}

ChartFrame frameForRows(std::int64_t rows, int rowPitch) {
    ChartFrame frame;
    // Between a short strip and a tall page; very large fields share it.
    const std::int64_t plot = std::clamp<std::int64_t>(std::max<std::int64_t>(rows - 1, 1) * rowPitch, 240, 720);
    frame.height = frame.top + static_cast<int>(plot) + frame.bottom;
    return frame;
}

namespace {

// Where value lands on an axis of the given length (tenths), from its start.
std::int64_t along(const AxisScale& axis, std::int64_t value, std::int64_t length) {
    std::int64_t span = axis.max - axis.min;
    if (span <= 0) return 0;
    std::int64_t v = std::clamp(value, axis.min, axis.max) - axis.min;
    // Coarser for huge spans, so that the product below cannot overflow.
    while (span > (std::int64_t(1) << 40)) {
        span >>= 1;
        v >>= 1;
    }
    return (v * length * 2 + span) / (2 * span); // to the nearest tenth
}

} // namespace

PlotPoint plotPoint(const LineChart& chart, const ChartFrame& frame, ChartPoint p) {
    const std::int64_t plotWidth = std::int64_t(frame.width - frame.left - frame.right) * 10;
    const std::int64_t plotHeight = std::int64_t(frame.height - frame.top - frame.bottom) * 10;
    const std::int64_t x = std::int64_t(frame.left) * 10 + along(chart.x, p.x, plotWidth);
    const std::int64_t down = along(chart.y, p.y, plotHeight);
    const std::int64_t fromTop = chart.yDown ? down : plotHeight - down;
    return PlotPoint{x, std::int64_t(frame.top) * 10 + fromTop};
}

std::vector<PlotPoint> plotSeries(const LineChart& chart, const ChartFrame& frame, const ChartSeries& series) {
    std::vector<PlotPoint> points;
    points.reserve(series.points.size());
    for (const ChartPoint& p : series.points) {
        const PlotPoint q = plotPoint(chart, frame, p);
        const std::size_t n = points.size();
        // Drop the previous point when it sits inside a level run.
        if (n >= 2 && points[n - 2].y == q.y && points[n - 1].y == q.y) points.back() = q;
        else if (n >= 1 && points[n - 1] == q) continue;
        else points.push_back(q);
    }
    return thinToWidth(std::move(points));
}

std::vector<PlotPoint> thinToWidth(std::vector<PlotPoint> points) {
    constexpr std::int64_t bucket = 20; // two pixels, in tenths
    std::vector<PlotPoint> kept;
    for (std::size_t begin = 0; begin < points.size();) {
        std::size_t end = begin + 1;
        while (end < points.size() && points[end].x / bucket == points[begin].x / bucket) ++end;
        if (end - begin <= 4) {
            kept.insert(kept.end(), points.begin() + std::ptrdiff_t(begin), points.begin() + std::ptrdiff_t(end));
        } else {
            std::size_t low = begin, high = begin;
            for (std::size_t i = begin; i < end; ++i) {
                if (points[i].y < points[low].y) low = i;
                if (points[i].y > points[high].y) high = i;
            }
            std::size_t picks[] = {begin, low, high, end - 1};
            std::sort(std::begin(picks), std::end(picks));
            for (std::size_t k = 0; k < 4; ++k)
                if (k == 0 || picks[k] != picks[k - 1]) kept.push_back(points[picks[k]]);
        }
        begin = end;
    }
    return kept;
}

std::vector<std::int64_t> spreadLabels(const std::vector<PlotPoint>& anchors, std::int64_t minGap, std::int64_t lo,
                                       std::int64_t hi) {
    std::vector<std::int64_t> ys(anchors.size());
    std::vector<std::size_t> order(anchors.size());
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        ys[i] = anchors[i].y;
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return anchors[a].x != anchors[b].x ? anchors[a].x < anchors[b].x : anchors[a].y < anchors[b].y;
    });
    for (std::size_t begin = 0; begin < order.size();) {
        std::size_t end = begin + 1;
        while (end < order.size() && anchors[order[end]].x == anchors[order[begin]].x) ++end;
        // Push down what crowds the label above, then, if the last ones went
        // past the bottom, push up from there.
        for (std::size_t k = begin + 1; k < end; ++k)
            ys[order[k]] = std::max(ys[order[k]], ys[order[k - 1]] + minGap);
        if (ys[order[end - 1]] > hi) {
            ys[order[end - 1]] = std::max(hi, anchors[order[end - 1]].y);
            for (std::size_t k = end - 1; k-- > begin;)
                ys[order[k]] = std::max(std::min(ys[order[k]], ys[order[k + 1]] - minGap), lo);
        }
        begin = end;
    }
    return ys;
}

std::string tickLabel(TickFormat format, std::int64_t value) {
    if (format == TickFormat::NUMBER) return formatText("%d", value);
    const bool negative = value < 0;
    const std::uint64_t ms = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string text = formatText("%s%u", negative ? "-" : "", ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = formatText("%03u", ms % 1000);
        while (fraction.back() == '0') fraction.pop_back();
        text += '.';
        text += fraction;
    }
    return text;
}
