// Line charts as data and geometry: axis scales with round ticks, series of
// points, and where they land in the drawing. The HTML page draws them as
// SVG (html_page.h); everything measurable about a chart is decided here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An axis from min to max with ticks every step: min itself, then the
// multiples of step above it up to max.
struct AxisScale {
    std::int64_t min = 0;
    std::int64_t max = 1;
    std::int64_t step = 1;

    std::vector<std::int64_t> ticks() const;
    bool operator==(const AxisScale&) const = default;
};

// The axis from min to at least max with the smallest step of 1, 2 or 5
// times a power of ten (at least minStep) that leaves at most maxIntervals
// intervals. With roundUp, max moves up to the next multiple of the step,
// so that the far end has a tick; otherwise it stays where the data end.
AxisScale niceScale(std::int64_t min, std::int64_t max, std::int64_t minStep, std::int64_t maxIntervals, bool roundUp);

struct ChartPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const ChartPoint&) const = default;
};

struct ChartSeries {
    std::string label;              // shown at both ends of the line
    std::vector<ChartPoint> points; // in data units, x ascending
    std::string endNote;            // after the end label, e.g. why the line stops
};

// How tick values read: as plain numbers, or milliseconds as seconds.
enum class TickFormat { NUMBER, SECONDS };

struct LineChart {
    std::string id;          // unique in the page (letters, digits, "-"); names the title and description
    std::string title;       // the chart's accessible name
    std::string description; // what it shows and where its figures are
    std::string xTitle;
    std::string yTitle;
    AxisScale x;
    AxisScale y;
    TickFormat yFormat = TickFormat::NUMBER;
    bool yDown = false;      // min at the top, as in positions and gaps
    bool labelStart = true;  // the label at the start of each line too
    std::vector<ChartSeries> series;
};

// The drawing's frame in SVG user units: the whole viewBox and the margins
// around the plot area.
struct ChartFrame {
    int width = 960;
    int height = 400;
    int left = 72;
    int right = 56;
    int top = 36;
    int bottom = 44;
};

// The frame of a chart whose y axis has rows of about rowPitch units each.
ChartFrame frameForRows(std::int64_t rows, int rowPitch);

// A point in the drawing, in tenths of a user unit: whole numbers keep the
// page the same on every platform.
struct PlotPoint {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool operator==(const PlotPoint&) const = default;
};

PlotPoint plotPoint(const LineChart& chart, const ChartFrame& frame, ChartPoint p);

// The series' points in the drawing. Points in the middle of a level run
// (same y before and after) are left out: they change nothing drawn, and a
// lap chart of a long race is mostly such runs.
// A line is also thinned to what the plot's width can show (thinToWidth).
std::vector<PlotPoint> plotSeries(const LineChart& chart, const ChartFrame& frame, const ChartSeries& series);

// Points in the drawing (x ascending), at most four per two pixels of
// width: where more share those pixels, the first, the lowest, the highest
// and the last of them, in their order, so that the line keeps its shape
// and its ends: a plot 832 pixels wide draws at most 1,668 points a line,
// however long the race.
std::vector<PlotPoint> thinToWidth(std::vector<PlotPoint> points);

// Heights (y) for labels at the given anchors, in tenths: labels that share
// an x keep their order but stand at least minGap apart, within [lo, hi]
// where there is room.
std::vector<std::int64_t> spreadLabels(const std::vector<PlotPoint>& anchors, std::int64_t minGap, std::int64_t lo,
                                       std::int64_t hi);

// The tick label of a value: "12"; for seconds "20", "0.5", "1.25".
std::string tickLabel(TickFormat format, std::int64_t value);
