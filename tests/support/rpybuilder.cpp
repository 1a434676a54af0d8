#include "rpybuilder.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "testutil.h"

namespace rpybuilder {

namespace {

constexpr std::uint32_t oneWeekBits = 0x4913A800u; // 604800.0f

std::uint64_t padded(std::uint64_t n) { return (n + 3) / 4 * 4; }

// Writes text into a fixed-width field, cut to the width; the rest stays 0.
void putText(std::string& rec, std::size_t offset, std::size_t width, std::string_view text) {
    rec.replace(offset, std::min(width, text.size()), text.substr(0, width));
}

void putBytes(std::string& rec, std::size_t offset, std::string_view bytes) {
    rec.replace(offset, bytes.size(), bytes);
}

std::string checkedLabel(std::string_view label) {
    if (label.size() != 4) throw std::logic_error("chunk label needs four bytes: " + std::string(label));
    return std::string(label);
}

} // namespace

// ---- Bytes -----------------------------------------------------------------

std::string u8(std::uint8_t v) { return std::string(1, static_cast<char>(v)); }

std::string u16le(std::uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

std::string u32le(std::uint32_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
            static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}

std::string i32le(std::int32_t v) { return u32le(static_cast<std::uint32_t>(v)); }

std::uint32_t floatBits(float f) { return std::bit_cast<std::uint32_t>(f); }

std::uint32_t lapWord(std::uint32_t clock, std::uint8_t flags) {
    return (clock & 0x00FFFFFFu) | std::uint32_t(flags) << 24;
}

std::string tagBytes(std::uint8_t yearByte, std::uint8_t v1, std::uint8_t v2) {
    std::string tag(32, '\0');
    tag[0] = '1';
    tag[1] = static_cast<char>(yearByte);
    tag[3] = static_cast<char>(v1);
    tag[4] = static_cast<char>(v2);
    return tag;
}

// ---- Chunks ----------------------------------------------------------------

std::string chunk(std::string_view label, std::uint32_t version, std::string_view data,
                  std::optional<std::uint32_t> sizeField, std::uint8_t padByte) {
    std::string out = checkedLabel(label);
    out += u32le(version);
    out += u32le(sizeField.value_or(static_cast<std::uint32_t>(data.size())));
    out += data;
    out.append(padded(data.size()) - data.size(), static_cast<char>(padByte));
    return out;
}

std::string chunkWith(std::string_view label, std::uint32_t version, std::string data, const ChunkOpts& opts) {
    if (opts.dataBytes) data.resize(*opts.dataBytes, '\0');
    return chunk(opts.label.value_or(std::string(label)), opts.version.value_or(version), data, opts.sizeField,
                 opts.padByte);
}

// ---- Records ---------------------------------------------------------------

WeekendSession::WeekendSession(SessionType t, int lapLimit, double seconds)
    : WeekendSession(static_cast<int>(t), lapLimit, seconds) {}

WeekendSession::WeekendSession(int rawType, int lapLimit, double seconds)
    : type(static_cast<std::int16_t>(rawType)),
      laps(static_cast<std::int16_t>(lapLimit)),
      secondsBits(floatBits(static_cast<float>(seconds))) {}

WeekendSession WeekendSession::withBits(int rawType, int lapLimit, std::uint32_t bits) {
    WeekendSession s(rawType, lapLimit, 0.0);
    s.secondsBits = bits;
    return s;
}

std::string headerRecord(const ReplaySpec& spec) {
    const HeaderSpec& h = spec.header;
    std::string rec(76, '\0');
    putText(rec, 0, 28, h.track);
    putBytes(rec, 28, u32le(h.word28));
    putText(rec, 32, 16, h.saverName);
    putText(rec, 48, 20, h.saverVersion);
    putBytes(rec, 68, u32le(h.firstSession));
    const auto sessionCount = static_cast<std::uint32_t>(spec.sessions.size());
    putBytes(rec, 72, u32le(h.lastSession.value_or(h.firstSession + sessionCount - 1u)));
    return rec;
}

std::string weekendRecord(const WeekendSpec& w) {
    if (w.sessions.size() > 8) throw std::logic_error("a weekend has at most 8 sessions");
    std::string rec(184, '\0');
    putText(rec, 0, 16, w.track);
    putText(rec, 16, 97, w.carset);
    std::uint32_t count = static_cast<std::uint32_t>(w.sessions.size());
    for (std::size_t k = 0; k < w.sessions.size(); ++k) {
        if (w.sessions[k].secondsBits == oneWeekBits) {
            count = static_cast<std::uint32_t>(k + 1);
            break;
        }
    }
    putBytes(rec, 113, u32le(w.sessionCount.value_or(count)));
    for (std::size_t k = 0; k < w.sessions.size(); ++k) {
        const WeekendSession& s = w.sessions[k];
        const std::size_t at = 117 + 8 * k;
        putBytes(rec, at, u16le(static_cast<std::uint16_t>(s.type)));
        putBytes(rec, at + 2, u16le(static_cast<std::uint16_t>(s.laps)));
        putBytes(rec, at + 4, u32le(s.secondsBits));
    }
    for (std::size_t i = 0; i < 3; ++i) rec[181 + i] = static_cast<char>(w.tail[i]);
    return rec;
}

std::string driverRecord(const DriverSpec& d) {
    std::string rec(140, '\0');
    putText(rec, 0, 16, d.firstName);
    putText(rec, 16, 16, d.lastName);
    putBytes(rec, 32, i32le(d.word32));
    putBytes(rec, 36, u32le(d.nationality));
    putText(rec, 40, 32, d.tag);
    putText(rec, 72, 32, d.bytes72);
    putBytes(rec, 104, i32le(d.driverId));
    putBytes(rec, 108, u32le(d.carIndex));
    putBytes(rec, 112, u32le(d.carClass));
    for (std::size_t i = 0; i < 3; ++i) rec[116 + i] = static_cast<char>(d.colour[i]);
    rec[119] = static_cast<char>(d.byte119);
    putBytes(rec, 120, i32le(d.word120));
    putBytes(rec, 124, i32le(d.carId));
    putBytes(rec, 128, i32le(d.number));
    putBytes(rec, 132, i32le(d.word132));
    rec[136] = static_cast<char>(d.tagIsText);
    rec[137] = static_cast<char>(d.byte137);
    rec[138] = static_cast<char>(d.byte138);
    rec[139] = static_cast<char>(d.byte139);
    return rec;
}

std::string carData(const CarSpec& c) {
    std::string data = i32le(c.carId);
    for (std::uint32_t w : c.laps) data += u32le(w);
    return data;
}

std::string driversChunk(const ReplaySpec& spec) {
    std::string items;
    for (const DriverSpec& d : spec.drivers) items += chunkWith("TNRD", 0, driverRecord(d), d.chunk);
    return chunkWith("SLRD", 0, items, spec.driverList);
}

std::string sessionChunk(const SessionSpec& s) {
    std::string items;
    for (const CarSpec& c : s.cars) items += chunkWith("ORPL", 0, carData(c), c.chunk);
    return chunkWith("BTPL", 0, items, s.chunk);
}

namespace {

// The file as its written bytes plus its full length; everything past the
// bytes is zeros (the filler data and the root's padding).
struct Layout {
    std::string bytes;
    std::uint64_t length = 0;
};

Layout layout(const ReplaySpec& spec) {
    std::string body = chunkWith("DHPR", 0, headerRecord(spec), spec.header.chunk);
    body += chunkWith("FNKW", 0, weekendRecord(spec.weekend), spec.weekend.chunk);
    body += driversChunk(spec);
    for (const SessionSpec& s : spec.sessions) body += sessionChunk(s);
    body += spec.trailing;
    std::uint64_t bodySize = body.size();
    if (spec.fillerBytes) {
        body += "XTRA" + u32le(0) + u32le(spec.fillerBytes);
        bodySize = body.size() + padded(spec.fillerBytes);
    }
    if (spec.root.dataBytes) {
        bodySize = *spec.root.dataBytes;
        if (body.size() > bodySize) body.resize(bodySize);
    }
    Layout out;
    out.bytes = checkedLabel(spec.root.label.value_or("YLPR"));
    out.bytes += u32le(spec.root.version.value_or(2));
    out.bytes += u32le(spec.root.sizeField.value_or(static_cast<std::uint32_t>(bodySize)));
    out.bytes += body;
    out.length = 12 + padded(bodySize);
    if (spec.fileLength) {
        out.length = *spec.fileLength;
        if (out.bytes.size() > out.length) out.bytes.resize(out.length);
    }
    return out;
}

} // namespace

std::string rootData(const ReplaySpec& spec) {
    Layout l = layout(spec);
    l.bytes.resize(l.length, '\0');
    return l.bytes.substr(std::min<std::size_t>(12, l.bytes.size()));
}

std::string buildReplay(const ReplaySpec& spec) {
    Layout l = layout(spec);
    l.bytes.resize(l.length, '\0');
    return l.bytes;
}

ReplaySpec raceReplay(int cars, int crossings) {
    ReplaySpec r;
    r.weekend.carset = "gem67";
    r.weekend.sessions = {{SessionType::RACE, 32767, 604800.0}};
    SessionSpec s;
    for (int c = 1; c <= cars; ++c) {
        DriverSpec d;
        d.carId = d.driverId = c;
        d.number = c % 1000;
        r.drivers.push_back(d);
        CarSpec car;
        car.carId = c;
        for (int i = 0; i < crossings; ++i)
            car.laps.push_back(lapWord(static_cast<std::uint32_t>((i + 1) * 900 + c)));
        s.cars.push_back(std::move(car));
    }
    r.sessions = {s};
    return r;
}

std::string writeReplay(const std::string& path, const ReplaySpec& spec) {
    const Layout l = layout(spec);
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(l.bytes.data(), static_cast<std::streamsize>(l.bytes.size()));
        if (!f.flush()) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
    // The zeros past the written bytes become a hole where the system has them.
    std::error_code ec;
    std::filesystem::resize_file(path, l.length, ec);
    if (ec) throw std::runtime_error("cannot extend " + path + ": " + ec.message());
    return path;
}

std::string writeReplay(const testutil::TempDir& dir, const std::string& name, const ReplaySpec& spec) {
    return writeReplay(dir.file(name), spec);
}

} // namespace rpybuilder
