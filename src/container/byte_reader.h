// Bounds-checked little-endian reads from a byte range. Records read their
// fields through this at named offsets; bytes are never cast to wider types.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string_view>

class ByteReader {
public:
    using Bytes = std::span<const std::uint8_t>;

    ByteReader() = default;
    explicit ByteReader(Bytes bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    Bytes bytes() const { return bytes_; }

    std::uint8_t u8(std::size_t at) const { return *at_(at, 1); }
    std::int8_t i8(std::size_t at) const { return static_cast<std::int8_t>(u8(at)); }
    std::uint16_t u16(std::size_t at) const {
        const std::uint8_t* p = at_(at, 2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::uint32_t u32(std::size_t at) const {
        const std::uint8_t* p = at_(at, 4);
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }

    // The bytes of a fixed-width field.
    std::string_view raw(std::size_t at, std::size_t width) const {
        return std::string_view(reinterpret_cast<const char*>(at_(at, width)), width);
    }
    // Text of a fixed-width field: its bytes up to the first NUL or the field end.
    std::string_view text(std::size_t at, std::size_t width) const {
        const std::string_view field = raw(at, width);
        return field.substr(0, std::min(field.size(), field.find('\0')));
    }

private:
    const std::uint8_t* at_(std::size_t at, std::size_t width) const {
        // A failure here is a programming error: record sizes are checked
        // against the file before any field is read.
        if (at > bytes_.size() || bytes_.size() - at < width) throw std::out_of_range("field outside its record");
        return bytes_.data() + at;
    }

    Bytes bytes_;
};
