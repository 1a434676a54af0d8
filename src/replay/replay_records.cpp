#include "replay/replay_records.h"

#include <bit>
#include <climits>
#include <stdexcept>

#include "text/diagnostics.h"

static_assert(std::bit_cast<float>(WeekendRecord::oneWeekBits) == 604800.0f);

std::int32_t secondsFromFloat(std::uint32_t bits) {
    if (static_cast<std::int32_t>(bits) <= 0) return 0;
    const float value = std::bit_cast<float>(bits);
    // Also catches infinity and NaN, whose conversion would be undefined.
    if (!(value < 2147483648.0f)) return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

std::vector<SessionInfo> WeekendRecord::sessions(Diagnostics& diagnostics) const {
    std::vector<SessionInfo> result;
    for (std::size_t k = 0; k < entryCount; ++k) {
        const std::size_t at = Field::entries + Field::entrySize * k;
        const std::int16_t type = r_.i16(at + Field::entryType);
        const std::uint32_t secondsBits = r_.u32(at + Field::entrySeconds);
        const SessionInfo info{type, r_.i16(at + Field::entryLaps), secondsFromFloat(secondsBits)};
        if (type == 0) {
            diagnostics.warning("(rpylib:109) No session data found");
            return {};
        }
        if (type != SessionCode::testing && type != SessionCode::practice && type != SessionCode::race)
            throw std::runtime_error("Unknown session type: cast(SessT)" + std::to_string(type));
        result.push_back(info);
        if (secondsBits == oneWeekBits) break;
    }
    if (sessionCount() != result.size()) throw std::runtime_error("Inconsistent session info");
    return result;
}

std::string_view nationalityCode(std::uint32_t index) {
    // The 29 three-letter codes, code i at 3i.
    constexpr std::string_view codes =
        "ARGAUSAUTBELBRACANCHICOLDENFINFRAGERGBRIREITAJPNMEXMONMORHOLNZLPORRSASPASWESUIUSAURUVEN";
    if (index >= codes.size() / 3) return {};
    return codes.substr(3 * std::size_t(index), 3);
}
