// The geometry of the results page's charts: where each car stands at each
// crossing, what the scales are, and where points and labels land.
#include "report/race_charts.h"

#include "page/result_table.h"

#include <gtest/gtest.h>

#include "timed_cars.h"

namespace {

TimedCar car(std::int32_t carId, std::int16_t number, const std::vector<std::uint32_t>& clocks) {
    TimedCar e{carId, carId * 10, {}, number};
    for (std::uint32_t clock : clocks) e.laps.push_back(TimedLap{clock, 0});
    return e;
}

// Three laps. #1 wins; #7 crosses lap 1 together with #1 (a dead heat) and
// finishes second; #3 is lapped on its last lap and takes the flag after
// the winner; #5 retires after lap 1, #4 before completing it; #6 never
// crosses the line at all.
SessionTiming eventfulRace() {
    return timingOf({
        car(4, 4, {1'600}),
        car(1, 1, {1'000, 91'000, 181'000, 271'000}),
        car(2, 7, {1'200, 91'000, 182'000, 272'000}),
        car(3, 3, {1'400, 140'000, 280'000}),
        car(5, 5, {1'800, 95'000}),
        car(6, 6, {}),
    });
}

// A race of the given laps: car c laps in 90 s + c * 0.3 s, starting c * 0.2 s
// behind the first.
SessionTiming steadyRace(int cars, int laps) {
    std::vector<TimedCar> entries;
    for (int c = 0; c < cars; ++c) {
        std::vector<std::uint32_t> clocks;
        for (int i = 0; i <= laps; ++i) clocks.push_back(std::uint32_t(1'000 + c * 200 + i * (90'000 + c * 300)));
        entries.push_back(car(c + 1, std::int16_t(c + 1), clocks));
    }
    return timingOf(std::move(entries));
}

} // namespace

TEST(RaceCharts, TracesFollowEachCarCrossingByCrossing) {
    const SessionTiming race = eventfulRace();
    const std::vector<RaceResult> rows = raceResults(race);
    const std::vector<RaceTrace> traces = raceTraces(race, rows);

    struct Expected {
        std::int32_t carId;
        std::int16_t number;
        bool retired;
        std::vector<std::uint32_t> positions;
        std::vector<std::uint32_t> gaps;
        std::size_t unlapped;
        const char* gap; // as the result table shows it
    };
    const std::vector<Expected> expected = {
        {1, 1, false, {1, 1, 1, 1}, {0, 0, 0, 0}, 4, "4:30.000"},
        // Level with #1 at lap 1: the lower number goes first.
        {2, 7, false, {2, 2, 2, 2}, {200, 0, 1'000, 1'000}, 4, "+1.000"},
        // The leader completed lap 3 before #3 completed lap 2.
        {3, 3, false, {3, 4, 3}, {400, 49'000, 99'000}, 2, "+1 lap"},
        {5, 5, true, {5, 3}, {800, 4'000}, 2, "DNF"},
        {4, 4, true, {4}, {600}, 1, "DNF"},
    };
    ASSERT_EQ(traces.size(), expected.size()); // #6 has no crossing, no row, no trace
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.carId);
        EXPECT_EQ(traces[i].carId, e.carId);
        EXPECT_EQ(traces[i].number, e.number);
        EXPECT_EQ(traces[i].retired, e.retired);
        EXPECT_EQ(traces[i].positions, e.positions);
        EXPECT_EQ(traces[i].gaps, e.gaps);
        EXPECT_EQ(traces[i].unlapped, e.unlapped);
        const RaceResult& r = rows[i];
        EXPECT_EQ(resultGap(i == 0, r.retired, r.lapsBehind, r.clock, std::uint32_t(r.gap)), e.gap);
    }
    // Far behind, and places won and lost.
    EXPECT_EQ(resultGap(false, false, 3, 0, 0), "+3 laps");
    EXPECT_EQ(gainedText(2) + gainedText(-1) + gainedText(0), "+2-10");
}

TEST(RaceCharts, LapAndGapChartsOfTheTraces) {
    const SessionTiming race = eventfulRace();
    const std::vector<RaceTrace> traces = raceTraces(race, raceResults(race));

    const LineChart laps = lapChart(traces, 2);
    EXPECT_EQ(laps.id, "lap-chart-2");
    EXPECT_EQ(laps.x, (AxisScale{0, 3, 1}));
    EXPECT_EQ(laps.y, (AxisScale{1, 5, 1})); // every place of the field
    EXPECT_TRUE(laps.yDown);
    EXPECT_TRUE(laps.labelStart);
    ASSERT_EQ(laps.series.size(), 5u);
    EXPECT_EQ(laps.series[2].label, "3");
    EXPECT_EQ(laps.series[2].points, (std::vector<ChartPoint>{{0, 3}, {1, 4}, {2, 3}}));
    EXPECT_EQ(laps.series[2].endNote, ""); // lapped, but running at the end
    EXPECT_EQ(laps.series[3].endNote, "DNF");
    EXPECT_EQ(laps.series[4].points, (std::vector<ChartPoint>{{0, 4}})); // a dot where it stopped

    const LineChart gaps = gapChart(traces, 2);
    EXPECT_EQ(gaps.id, "gap-chart-2");
    EXPECT_FALSE(gaps.labelStart);
    EXPECT_EQ(gaps.yFormat, TickFormat::SECONDS);
    // Drawn until lapped: #3's 99 s at lap 2 is not on the chart, so the
    // scale covers the 49 s before it.
    EXPECT_EQ(gaps.series[2].points, (std::vector<ChartPoint>{{0, 400}, {1, 49'000}}));
    EXPECT_EQ(gaps.series[2].endNote, "lapped");
    EXPECT_EQ(gaps.series[3].endNote, "DNF");
    EXPECT_EQ(gaps.y, (AxisScale{0, 50'000, 10'000}));
}

// Lapped only when the leader crossed first: a crossing at the same clock as
// the leader's next one is level with it, a millisecond later is not.
TEST(RaceCharts, LappedOnlyWhenTheLeaderCrossedFirst) {
    const SessionTiming race = timingOf({
        car(1, 1, {1'000, 91'000, 181'000, 271'000}),
        car(2, 2, {1'200, 181'000}),
        car(3, 3, {1'400, 181'001}),
    });
    const std::vector<RaceTrace> traces = raceTraces(race, raceResults(race));
    ASSERT_EQ(traces.size(), 3u);
    EXPECT_EQ(traces[1].unlapped, 2u);
    EXPECT_EQ(traces[2].unlapped, 1u);
    const LineChart gaps = gapChart(traces, 1);
    EXPECT_EQ(gaps.series[1].points.size(), 2u);
    EXPECT_EQ(gaps.series[2].points.size(), 1u);
}

TEST(RaceCharts, ScalesOfAShortAndALongRace) {
    struct Case {
        int laps;
        AxisScale x;
        std::vector<std::int64_t> xTicks;
        AxisScale y;
        std::vector<std::string> yLabels;
    };
    // 2 laps: 10 cars, the last 1.8 s + 2 * 2.7 s behind at the end. 300
    // laps: 4 cars, up to 0.9 s a lap slower, each drawn until it is lapped;
    // the widest gap drawn is #2's 90.2 s at the finish.
    const std::vector<Case> cases = {
        {2, {0, 2, 1}, {0, 1, 2}, {0, 8'000, 2'000}, {"0", "2", "4", "6", "8"}},
        {300, {0, 300, 50}, {0, 50, 100, 150, 200, 250, 300}, {0, 100'000, 20'000},
         {"0", "20", "40", "60", "80", "100"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.laps);
        const SessionTiming race = c.laps == 2 ? steadyRace(10, 2) : steadyRace(4, 300);
        const LineChart chart = gapChart(raceTraces(race, raceResults(race)), 1);
        EXPECT_EQ(chart.x, c.x);
        EXPECT_EQ(chart.x.ticks(), c.xTicks);
        EXPECT_EQ(chart.y, c.y);
        std::vector<std::string> labels;
        for (std::int64_t t : chart.y.ticks()) labels.push_back(tickLabel(chart.yFormat, t));
        EXPECT_EQ(labels, c.yLabels);
    }
}

TEST(LineChartGeometry, NiceScales) {
    struct Case {
        std::int64_t min, max, minStep, maxIntervals;
        bool roundUp;
        AxisScale expected;
    };
    const std::vector<Case> cases = {
        {0, 0, 1, 10, false, {0, 1, 1}},          // an empty range still has a length
        {1, 19, 1, 40, false, {1, 19, 1}},        // a field of 19 places
        {1, 5'000, 1, 40, false, {1, 5'000, 200}}, // thousands of cars
        {0, 1'234, 100, 6, true, {0, 1'500, 500}}, // 200 would need 7 intervals
        {0, 23, 1, 10, false, {0, 23, 5}},        // the last lap need not be a tick
        {0, 4'000'000'001, 100, 6, true, {0, 5'000'000'000, 1'000'000'000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.max);
        EXPECT_EQ(niceScale(c.min, c.max, c.minStep, c.maxIntervals, c.roundUp), c.expected);
    }
    EXPECT_EQ((AxisScale{1, 50, 20}.ticks()), (std::vector<std::int64_t>{1, 20, 40}));
    EXPECT_EQ(tickLabel(TickFormat::SECONDS, 1'250), "1.25");
    EXPECT_EQ(tickLabel(TickFormat::NUMBER, -3), "-3");
}

TEST(LineChartGeometry, PointsLabelsAndLevelRuns) {
    LineChart chart;
    chart.x = AxisScale{0, 4, 1};
    chart.y = AxisScale{1, 3, 1};
    chart.yDown = true;
    ChartFrame frame; // plot from (72, 36) to (904, 356): 208 units a lap
    frame.height = 400;
    EXPECT_EQ(plotPoint(chart, frame, {0, 1}), (PlotPoint{720, 360}));
    EXPECT_EQ(plotPoint(chart, frame, {4, 3}), (PlotPoint{9040, 3560}));
    EXPECT_EQ(plotPoint(chart, frame, {1, 2}), (PlotPoint{2800, 1960}));
    chart.yDown = false;
    EXPECT_EQ(plotPoint(chart, frame, {0, 1}), (PlotPoint{720, 3560}));
    chart.yDown = true;

    // The middle of a level run adds nothing to the line.
    const ChartSeries s{"9", {{0, 2}, {1, 2}, {2, 2}, {3, 1}, {4, 1}}, ""};
    EXPECT_EQ(plotSeries(chart, frame, s),
              (std::vector<PlotPoint>{{720, 1960}, {4880, 1960}, {6960, 360}, {9040, 360}}));

    // Labels at one x keep their order and spread out; at the bottom they
    // move up rather than off the plot.
    const std::vector<PlotPoint> anchors = {{100, 500}, {100, 520}, {200, 520}, {100, 3550}, {100, 3560}};
    EXPECT_EQ(spreadLabels(anchors, 115, 360, 3560), (std::vector<std::int64_t>{500, 615, 520, 3445, 3560}));
}

// Where many points share two pixels, the first, lowest, highest and last
// of them stand for the rest, in their order; sparse points all stay.
TEST(LineChartGeometry, ThinnedToTheWidth) {
    const std::vector<PlotPoint> sparse{{0, 5}, {20, 9}, {25, 1}, {30, 4}, {39, 2}, {40, 7}};
    EXPECT_EQ(thinToWidth(sparse), sparse);
    const std::vector<PlotPoint> dense{{0, 5}, {1, 3}, {2, 9}, {3, 1}, {4, 8}, {5, 6}, {19, 4}, {20, 7}};
    EXPECT_EQ(thinToWidth(dense), (std::vector<PlotPoint>{{0, 5}, {2, 9}, {3, 1}, {19, 4}, {20, 7}}));
}
