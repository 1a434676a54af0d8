#include "page/html_page.h"

#include <algorithm>
#include <charconv>

#include "document/cells.h"
#include "document/version.h"
#include "text/format.h"
#include "text/html_text.h"

namespace {

// Light colours first; dark ones for screens that ask for them; print keeps
// the light ones. Nine line colours and four dash patterns: 36 cars before a
// style repeats, and neighbours in the order differ in both, also on a
// greyscale printout.
constexpr std::string_view pageStyle = R"css(:root{color-scheme:light dark;--bg:#fff;--fg:#1b1d21;--muted:#5a616c;--rule:#d4d8df;--stripe:#f3f5f8;--accent:#0a58a8;
--c0:#0b63a8;--c1:#c75000;--c2:#00875f;--c3:#b93d8e;--c4:#8f6a00;--c5:#3a8fd0;--c6:#6a3d9a;--c7:#8c4f3f;--c8:#2b2f36}
@media screen and (prefers-color-scheme:dark){:root{--bg:#15171b;--fg:#e3e5e9;--muted:#9ba3ae;--rule:#353a43;--stripe:#1c1f24;--accent:#7db3ee;
--c0:#5aa9e6;--c1:#ff8c4f;--c2:#3fcf9f;--c3:#ee90cf;--c4:#e8c04e;--c5:#a3d4f7;--c6:#b99ce2;--c7:#d9a08a;--c8:#e3e5e9}}
*{box-sizing:border-box}
html{-webkit-text-size-adjust:100%;text-size-adjust:100%}
body{margin:0;background:var(--bg);color:var(--fg);font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans",sans-serif}
header,main,footer{max-width:1120px;margin:0 auto;padding:0 16px}
header{padding-top:20px;padding-bottom:8px;border-bottom:2px solid var(--accent)}
h1{font-size:1.7rem;line-height:1.2;margin:0}
h1,h2,h3,summary,dd,.sub{overflow-wrap:anywhere}
.sub{margin:4px 0 0;color:var(--muted);font-size:1.05rem}
h2{font-size:1.3rem;margin:28px 0 8px}
h3{font-size:1.05rem;margin:20px 0 6px}
.facts{display:flex;flex-wrap:wrap;gap:8px 40px}
.facts section{min-width:0}
dl{display:grid;grid-template-columns:auto minmax(0,1fr);gap:2px 14px;margin:0}
dt{color:var(--muted)}
dd{margin:0}
.scroll{overflow-x:auto;margin:0 0 8px;max-width:100%}
table{border-collapse:collapse;font-variant-numeric:tabular-nums;white-space:nowrap}
th,td{padding:3px 10px;text-align:left;border-bottom:1px solid var(--rule);vertical-align:top}
th{font-weight:600;color:var(--muted);border-bottom-width:2px}
.n,.laps td:nth-child(-n+3){text-align:right}
tbody tr:nth-child(even){background:var(--stripe)}
.st{font-weight:600}
.result{min-width:100%}
.result td:first-child,.result .gap{font-weight:600}
.result .dr{white-space:normal;min-width:8em}
.fl{display:inline-block;padding:0 5px;border-radius:4px;background:var(--accent);color:var(--bg);font-size:.8em;font-weight:700;text-decoration:none}
abbr[title]{text-decoration:none}
.laps .inv{color:var(--muted);text-decoration:line-through}
figure{margin:16px 0}
figcaption{color:var(--muted);font-size:.9rem}
.plot{overflow-x:auto}
svg{display:block;width:100%;min-width:960px;height:auto}
svg text{fill:var(--muted);font-size:11px;font-family:inherit}
.axis text.t{fill:var(--fg);font-size:12px}
.grid line{stroke:var(--rule);stroke-width:1}
.grid line.z{stroke:var(--muted)}
.series polyline{fill:none;stroke:var(--c);stroke-width:1.8;stroke-linejoin:round;stroke-linecap:round}
.series circle{fill:var(--c)}
.series text{fill:var(--c);font-weight:600;paint-order:stroke;stroke:var(--bg);stroke-width:3px;stroke-linejoin:round}
.k0{--c:var(--c0)}.k1{--c:var(--c1)}.k2{--c:var(--c2)}.k3{--c:var(--c3)}.k4{--c:var(--c4)}.k5{--c:var(--c5)}.k6{--c:var(--c6)}.k7{--c:var(--c7)}.k8{--c:var(--c8)}
.d1 polyline{stroke-dasharray:8 3}.d2 polyline{stroke-dasharray:2 3}.d3 polyline{stroke-dasharray:10 3 2 3}
details{margin:2px 0}
summary{cursor:pointer;padding:2px 0}
details table{margin:4px 0 10px}
footer{margin-top:32px;padding-top:8px;padding-bottom:24px;border-top:1px solid var(--rule);color:var(--muted);font-size:.85rem}
@media (max-width:600px){body{font-size:14px}header,main,footer{padding-left:10px;padding-right:10px}th,td{padding:3px 7px}}
@media screen and (max-width:719px){.result .wide{display:none}}
@media print{@page{margin:12mm}
body{font-size:8pt;background:#fff;color:#000}
header,main,footer{max-width:none;padding-left:0;padding-right:0}
.scroll,.plot{overflow:visible}
svg{min-width:0}
.fl{background:none;color:inherit;border:1px solid}
h2,h3{break-after:avoid}
tr,figure{break-inside:avoid}
table{white-space:normal}
.n,.st{white-space:nowrap}
th,td{padding:1px 5px}
details::details-content{content-visibility:visible;display:contents}
summary{list-style:none}}
)css";

// The gap between label lines, in tenths of a unit.
constexpr std::int64_t labelGap = 115;

void appendAttributeNumber(std::string& out, std::string_view name, std::int64_t tenths) {
    out += ' ';
    out += name;
    out += "=\"";
    appendTenths(out, tenths);
    out += '"';
}

void openText(std::string& out, std::string_view cls, std::int64_t x, std::int64_t y, std::string_view anchor) {
    out += "<text";
    if (!cls.empty()) {
        out += " class=\"";
        out += cls;
        out += '"';
    }
    appendAttributeNumber(out, "x", x);
    appendAttributeNumber(out, "y", y);
    if (!anchor.empty()) {
        out += " text-anchor=\"";
        out += anchor;
        out += '"';
    }
    out += '>';
}

void appendText(std::string& out, std::string_view cls, std::int64_t x, std::int64_t y, std::string_view anchor,
                std::string_view text) {
    openText(out, cls, x, y, anchor);
    appendHtmlText(out, text);
    out += "</text>";
}

// A line's label and the note after it. <bdi> has no place in SVG, so a
// label that is not plain ASCII (only such text can hold right-to-left
// letters or bidi controls) is isolated by FSI ... PDI instead.
void appendLabel(std::string& out, std::int64_t x, std::int64_t y, std::string_view anchor, std::string_view label,
                 std::string_view note) {
    openText(out, "", x, y, anchor);
    const bool plain = std::all_of(label.begin(), label.end(), [](char c) { return (c & 0x80) == 0; });
    if (!plain) out += "&#x2068;";
    appendHtmlText(out, label);
    if (!plain) out += "&#x2069;";
    if (!note.empty()) {
        out += ' ';
        appendHtmlText(out, note);
    }
    out += "</text>";
}

void appendLine(std::string& out, std::string_view cls, PlotPoint a, PlotPoint b) {
    out += "<line";
    if (!cls.empty()) {
        out += " class=\"";
        out += cls;
        out += '"';
    }
    appendAttributeNumber(out, "x1", a.x);
    appendAttributeNumber(out, "y1", a.y);
    appendAttributeNumber(out, "x2", b.x);
    appendAttributeNumber(out, "y2", b.y);
    out += "/>";
}

void appendAxes(std::string& out, const LineChart& chart, const ChartFrame& frame) {
    const std::int64_t left = std::int64_t(frame.left) * 10;
    const std::int64_t right = std::int64_t(frame.width - frame.right) * 10;
    const std::int64_t top = std::int64_t(frame.top) * 10;
    const std::int64_t bottom = std::int64_t(frame.height - frame.bottom) * 10;
    out += "<g class=\"grid\">";
    for (std::int64_t t : chart.x.ticks()) {
        const std::int64_t x = plotPoint(chart, frame, ChartPoint{t, chart.y.min}).x;
        appendLine(out, t == chart.x.min ? "z" : "", PlotPoint{x, top}, PlotPoint{x, bottom});
    }
    for (std::int64_t t : chart.y.ticks()) {
        const std::int64_t y = plotPoint(chart, frame, ChartPoint{chart.x.min, t}).y;
        appendLine(out, "", PlotPoint{left, y}, PlotPoint{right, y});
    }
    out += "</g>\n<g class=\"axis\">";
    for (std::int64_t t : chart.x.ticks()) {
        const std::int64_t x = plotPoint(chart, frame, ChartPoint{t, chart.y.min}).x;
        appendText(out, "", x, bottom + 150, "middle", tickLabel(TickFormat::NUMBER, t));
    }
    for (std::int64_t t : chart.y.ticks()) {
        const std::int64_t y = plotPoint(chart, frame, ChartPoint{chart.x.min, t}).y;
        appendText(out, "", 40, y + 35, "", tickLabel(chart.yFormat, t));
    }
    appendText(out, "t", (left + right) / 2, std::int64_t(frame.height) * 10 - 60, "middle", chart.xTitle);
    appendText(out, "t", 40, top - 40 > 80 ? top - 40 : 110, "", chart.yTitle);
    out += "</g>\n";
}

} // namespace

void appendTenths(std::string& out, std::int64_t tenths) {
    char buf[24];
    char* p = buf;
    if (tenths < 0) *p++ = '-';
    const std::uint64_t v = tenths < 0 ? 0 - static_cast<std::uint64_t>(tenths) : static_cast<std::uint64_t>(tenths);
    p = std::to_chars(p, std::end(buf), v / 10).ptr;
    if (v % 10 != 0) {
        *p++ = '.';
        *p++ = static_cast<char>('0' + v % 10);
    }
    out.append(buf, p);
}

void appendHtmlPageStart(std::string& out, std::string_view title, std::string_view subtitle,
                         std::string_view extraStyle) {
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    appendFormat(out, "<meta name=\"generator\" content=\"gridtally %s\">\n<title>", programVersion);
    appendHtmlText(out, title);
    if (!subtitle.empty()) {
        out += " \xC2\xB7 "; // middle dot
        appendHtmlText(out, subtitle);
    }
    out += "</title>\n<style>\n";
    out += pageStyle;
    out += extraStyle;
    out += "</style>\n</head>\n<body>\n<header>\n<h1>";
    appendHtmlName(out, title);
    out += "</h1>\n";
    if (!subtitle.empty()) {
        out += "<p class=\"sub\">";
        appendHtmlName(out, subtitle);
        out += "</p>\n";
    }
    out += "</header>\n<main>\n";
}

void appendHtmlPageEnd(std::string& out) {
    appendFormat(out,
                 "</main>\n<footer>\n<p>Made with gridtally %s from Grand Prix Legends replay data.</p>\n"
                 "</footer>\n</body>\n</html>\n",
                 programVersion);
}

void appendLineChart(std::string& out, const LineChart& chart, const ChartFrame& frame, std::string_view caption) {
    // Narrower than its drawing (960 units) the chart keeps that width and
    // scrolls sideways in its box: its labels never drop below 11 px.
    out += "<figure>\n<div class=\"plot\">";
    appendFormat(out, "<svg viewBox=\"0 0 %d %d\" role=\"img\" aria-labelledby=\"%s-title %s-desc\">\n", frame.width,
                 frame.height, chart.id, chart.id);
    appendFormat(out, "<title id=\"%s-title\">", chart.id);
    appendHtmlText(out, chart.title);
    appendFormat(out, "</title>\n<desc id=\"%s-desc\">", chart.id);
    appendHtmlText(out, chart.description);
    out += "</desc>\n";
    appendAxes(out, chart, frame);

    // Lines first, labels over all of them.
    std::vector<std::vector<PlotPoint>> lines;
    lines.reserve(chart.series.size());
    std::vector<PlotPoint> starts, ends;
    std::vector<std::size_t> drawn;
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        lines.push_back(plotSeries(chart, frame, chart.series[i]));
        if (lines.back().empty()) continue;
        drawn.push_back(i);
        starts.push_back(lines.back().front());
        ends.push_back(lines.back().back());
    }
    const std::int64_t lo = std::int64_t(frame.top) * 10;
    const std::int64_t hi = std::int64_t(frame.height - frame.bottom) * 10;
    const std::vector<std::int64_t> startY = spreadLabels(starts, labelGap, lo, hi);
    const std::vector<std::int64_t> endY = spreadLabels(ends, labelGap, lo, hi);

    out += "<g class=\"series\">\n";
    for (std::size_t k = 0; k < drawn.size(); ++k) {
        const std::size_t i = drawn[k];
        const ChartSeries& s = chart.series[i];
        const std::vector<PlotPoint>& line = lines[i];
        appendFormat(out, "<g class=\"k%u d%u\">", i % 9, i % 4);
        if (line.size() > 1) {
            out += "<polyline points=\"";
            for (std::size_t j = 0; j < line.size(); ++j) {
                if (j > 0) out += ' ';
                appendTenths(out, line[j].x);
                out += ',';
                appendTenths(out, line[j].y);
            }
            out += "\"/>";
        }
        // A line that stops early, or that is one point, ends in a dot.
        if (line.size() == 1 || !s.endNote.empty()) {
            out += "<circle";
            appendAttributeNumber(out, "cx", line.back().x);
            appendAttributeNumber(out, "cy", line.back().y);
            out += " r=\"3\"/>";
        }
        if (chart.labelStart) appendLabel(out, starts[k].x - 60, startY[k] + 35, "end", s.label, "");
        appendLabel(out, ends[k].x + 60, endY[k] + 35, "", s.label, s.endNote);
        out += "</g>\n";
    }
    out += "</g>\n</svg></div>\n<figcaption>";
    appendHtmlText(out, caption);
    out += "</figcaption>\n</figure>\n";
}

void appendHtmlName(std::string& out, std::string_view name) {
    if (name.empty()) return;
    out += "<bdi>";
    appendHtmlText(out, name);
    out += "</bdi>";
}

void html::cell(std::string& out, std::string_view text) {
    out += "<td>";
    appendHtmlName(out, text);
    out += "</td>";
}

void html::textCell(std::string& out, std::string_view text) {
    out += "<td>";
    appendHtmlText(out, text);
    out += "</td>";
}

void html::numberCell(std::string& out, std::string_view text) {
    out += "<td class=\"n\">";
    out += text;
    out += "</td>";
}

void html::numberCell(std::string& out, std::int64_t value) {
    out += "<td class=\"n\">";
    appendInteger(out, value);
    out += "</td>";
}

void html::openTable(std::string& out, std::string_view cls, std::string_view headerRow) {
    out += "<div class=\"scroll\"><table";
    if (!cls.empty()) {
        out += " class=\"";
        out += cls;
        out += '"';
    }
    out += ">\n<thead><tr>";
    out += headerRow;
    out += "</tr></thead>\n<tbody>\n";
}

void html::closeTable(std::string& out) { out += "</tbody>\n</table></div>\n"; }
