// The frame of every page gridtally writes: one self-contained HTML5
// document (inline style, no script, nothing fetched), light and dark,
// printable, readable on a phone; and line charts drawn as inline SVG.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "page/line_chart.h"

// Doctype, head (title, style) and the page header with its heading and an
// optional subtitle; opens <main>. Texts are escaped here, and isolated in
// the header, as they may hold names. extraStyle follows the page style.
void appendHtmlPageStart(std::string& out, std::string_view title, std::string_view subtitle,
                         std::string_view extraStyle = {});

// Closes <main>, writes the footer naming the program and ends the page.
void appendHtmlPageEnd(std::string& out);

// One chart as a <figure>: an SVG with its title and description for
// assistive technology, the caption below it. Series take their colour and
// dash pattern from their index, so that neighbours differ in both.
void appendLineChart(std::string& out, const LineChart& chart, const ChartFrame& frame, std::string_view caption);

// A number in tenths as SVG writes it: "12", "12.5", "-0.5".
void appendTenths(std::string& out, std::int64_t tenths);

// A name from outside (driver, team, track, season, round, carset) in a
// <bdi>, escaped: right-to-left text or bidi controls in it cannot reorder
// what follows it on the page. Nothing for an empty name.
void appendHtmlName(std::string& out, std::string_view name);

// Table pieces of every page. Every text from a replay, a carset or a
// season file goes through cell, which isolates it; textCell is for our own
// words; numbers are ours.
namespace html {

void cell(std::string& out, std::string_view text);
void textCell(std::string& out, std::string_view text);
void numberCell(std::string& out, std::string_view text);
void numberCell(std::string& out, std::int64_t value);
// A table in its own sideways-scrolling box, with its header row.
void openTable(std::string& out, std::string_view cls, std::string_view headerRow);
void closeTable(std::string& out);

} // namespace html
