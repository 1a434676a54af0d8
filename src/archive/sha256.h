// SHA-256 (FIPS 180-4), for the keys of archived replays.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class Sha256 {
public:
    // BEST uses the processor's SHA instructions where it has them; PORTABLE
    // never does (the tests compare the two).
    enum class Engine { BEST, PORTABLE };

    explicit Sha256(Engine engine = Engine::BEST);
    void update(std::span<const std::uint8_t> bytes);
    // The digest; the object is spent afterwards.
    std::array<std::uint8_t, 32> finish();

private:
    using BlockFunction = void (*)(std::uint32_t* state, const std::uint8_t* p, std::size_t count);
    BlockFunction blocks_; // hashes count 64-byte blocks into state
    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> pending_{};
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;
};

// The digest of the bytes as 64 lower-case hex digits.
std::string sha256Hex(std::span<const std::uint8_t> bytes, Sha256::Engine engine = Sha256::Engine::BEST);
