#include "report/race_charts.h"

#include <algorithm>
#include <map>

#include "text/format.h"

namespace {

// The axis of crossings: lap 0 (the start crossing) to the last one.
AxisScale lapAxis(const std::vector<RaceTrace>& traces) {
    std::size_t last = 0;
    for (const RaceTrace& t : traces) last = std::max(last, t.positions.size());
    return niceScale(0, static_cast<std::int64_t>(last > 0 ? last - 1 : 0), 1, 10, false);
}

std::string numberLabel(const RaceTrace& t) { return formatText("%d", t.number); }

// What both race charts share: laps along, 0 or first place at the top.
LineChart raceChart(const std::vector<RaceTrace>& traces, std::string_view id, std::string_view title,
                    std::size_t sessionNumber) {
    LineChart chart;
    chart.id = formatText("%s-%u", id, sessionNumber);
    chart.title = formatText("%s of session %u", title, sessionNumber);
    chart.xTitle = "Lap";
    chart.x = lapAxis(traces);
    chart.yDown = true;
    return chart;
}

} // namespace

std::vector<RaceTrace> raceTraces(const SessionTiming& timing, const std::vector<RaceResult>& classification) {
    std::vector<RaceTrace> traces;
    traces.reserve(classification.size());
    // Ordered, not hashed: car ids come from the replay and may be chosen to
    // collide.
    std::map<std::int32_t, std::size_t> byCar;
    for (const RaceResult& r : classification) {
        if (!byCar.emplace(r.carId, traces.size()).second) continue;
        traces.push_back(RaceTrace{r.carId, 0, r.retired, {}, {}, 0});
        // One point for each of the car's crossings, the start's included.
        traces.back().positions.reserve(std::size_t(r.laps) + 1);
        traces.back().gaps.reserve(std::size_t(r.laps) + 1);
    }

    const TimingCells& rows = timing.cells;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto row = rows[i];
        if (row.empty()) continue;
        const std::uint32_t leader = row.front().clock;
        const bool nextRow = i + 1 < rows.size() && !rows[i + 1].empty();
        for (std::size_t place = 0; place < row.size(); ++place) {
            const TimingCell cell = row[place];
            const auto found = byCar.find(cell.carId);
            if (found == byCar.end()) continue;
            RaceTrace& t = traces[found->second];
            // Two cars under one id: the first one's crossings only.
            if (t.positions.size() != i) continue;
            t.number = cell.number;
            t.positions.push_back(static_cast<std::uint32_t>(place + 1));
            t.gaps.push_back(cell.clock - leader);
            if (t.unlapped == i && !(nextRow && rows[i + 1].front().clock < cell.clock)) t.unlapped = i + 1;
        }
    }
    return traces;
}

LineChart lapChart(const std::vector<RaceTrace>& traces, std::size_t sessionNumber) {
    LineChart chart = raceChart(traces, "lap-chart", "Lap chart", sessionNumber);
    chart.description = "Each car's position at the end of every lap, first place at the top, from the start "
                        "crossing (lap 0) to the car's last crossing; each line carries the car number at both "
                        "ends. The same figures are in the race results and the lap times.";
    chart.yTitle = "Position";
    std::int64_t field = 1;
    for (const RaceTrace& t : traces)
        for (std::uint32_t p : t.positions) field = std::max<std::int64_t>(field, p);
    chart.y = niceScale(1, field, 1, 40, false);
    for (const RaceTrace& t : traces) {
        ChartSeries s{numberLabel(t), {}, t.retired ? "DNF" : ""};
        s.points.reserve(t.positions.size());
        for (std::size_t i = 0; i < t.positions.size(); ++i)
            s.points.push_back(ChartPoint{static_cast<std::int64_t>(i), t.positions[i]});
        chart.series.push_back(std::move(s));
    }
    return chart;
}

LineChart gapChart(const std::vector<RaceTrace>& traces, std::size_t sessionNumber) {
    LineChart chart = raceChart(traces, "gap-chart", "Gap chart", sessionNumber);
    chart.description = "Each car's time behind the leader, in seconds, as it completed every lap; a lapped car's "
                        "line ends at its last crossing before it was lapped. The same figures are in the race "
                        "results and the lap times.";
    chart.yTitle = "Seconds behind the leader";
    chart.yFormat = TickFormat::SECONDS;
    // At the start the field is a few seconds deep: labels there would pile up.
    chart.labelStart = false;
    std::int64_t widest = 0;
    for (const RaceTrace& t : traces) {
        ChartSeries s{numberLabel(t), {}, ""};
        s.points.reserve(t.unlapped);
        for (std::size_t i = 0; i < t.unlapped; ++i) {
            s.points.push_back(ChartPoint{static_cast<std::int64_t>(i), t.gaps[i]});
            widest = std::max<std::int64_t>(widest, t.gaps[i]);
        }
        if (t.unlapped < t.positions.size()) s.endNote = "lapped";
        else if (t.retired) s.endNote = "DNF";
        chart.series.push_back(std::move(s));
    }
    chart.y = niceScale(0, widest, 100, 6, true);
    return chart;
}
