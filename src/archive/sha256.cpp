#include "archive/sha256.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The processor's SHA instructions, chosen at run time where the compiler
// can target them.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define GRIDTALLY_SHA_INSTRUCTIONS 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define GRIDTALLY_SHA_INSTRUCTIONS 0
#endif

namespace {

constexpr std::array<std::uint32_t, 64> roundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

void portableBlocks(std::uint32_t* state, const std::uint8_t* p, std::size_t count) {
    for (; count > 0; --count, p += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) w[i] = bigEndian32(p + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = std::rotr(w[i - 15], 7) ^ std::rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = std::rotr(w[i - 2], 17) ^ std::rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (std::size_t i = 0; i < 64; ++i) {
            const std::uint32_t t1 = h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                                     roundConstants[i] + w[i];
            const std::uint32_t t2 =
                (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const std::uint32_t add[8] = {a, b, c, d, e, f, g, h};
        for (std::size_t i = 0; i < 8; ++i) state[i] += add[i];
    }
}

#if GRIDTALLY_SHA_INSTRUCTIONS
// The x86 SHA extensions: four rounds per pair of sha256rnds2, the message
// schedule by sha256msg1/msg2. The state is kept as ABEF and CDGH, the
// order the instructions take it in.
__attribute__((target("sha,sse4.1,ssse3"))) void
shaInstructionBlocks(std::uint32_t* state, const std::uint8_t* p, std::size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; count > 0; --count, p += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        __m128i w[4]; // the last sixteen words of the schedule, four to a vector
        for (int group = 0; group < 16; ++group) {
            __m128i& words = w[group % 4];
            if (group < 4) {
                words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * group)), byteSwap);
            } else {
                const __m128i& previous = w[(group + 3) % 4];
                const __m128i sevenBack = _mm_alignr_epi8(previous, w[(group + 2) % 4], 4);
                words = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(words, w[(group + 1) % 4]), sevenBack), previous);
            }
            __m128i k = _mm_add_epi32(
                words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(roundConstants.data() + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

bool hasShaInstructions() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool sse41 = c & bit_SSE4_1, ssse3 = c & bit_SSSE3;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return sse41 && ssse3 && (b & bit_SHA);
}
#endif

} // namespace

Sha256::Sha256(Engine engine)
    : blocks_(portableBlocks),
      state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {
#if GRIDTALLY_SHA_INSTRUCTIONS
    static const bool instructions = hasShaInstructions();
    if (engine == Engine::BEST && instructions) blocks_ = shaInstructionBlocks;
#else
    (void)engine;
#endif
}

void Sha256::update(std::span<const std::uint8_t> bytes) {
    total_ += bytes.size();
    std::size_t i = 0;
    if (pendingSize_ != 0) {
        const std::size_t take = std::min(bytes.size(), pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, bytes.data(), take);
        pendingSize_ += take;
        i = take;
        if (pendingSize_ < pending_.size()) return;
        blocks_(state_.data(), pending_.data(), 1);
        pendingSize_ = 0;
    }
    const std::size_t whole = (bytes.size() - i) / 64;
    blocks_(state_.data(), bytes.data() + i, whole);
    i += whole * 64;
    std::memcpy(pending_.data(), bytes.data() + i, bytes.size() - i);
    pendingSize_ = bytes.size() - i;
}

std::array<std::uint8_t, 32> Sha256::finish() {
    const std::uint64_t bits = total_ * 8;
    std::uint8_t tail[72] = {0x80};
    // Pads to 56 bytes past a block boundary, then the length in bits.
    const std::size_t padding = (pendingSize_ < 56 ? 56 : 120) - pendingSize_;
    for (int k = 0; k < 8; ++k) tail[padding + std::size_t(k)] = static_cast<std::uint8_t>(bits >> (56 - 8 * k));
    update(std::span<const std::uint8_t>(tail, padding + 8));
    std::array<std::uint8_t, 32> digest;
    for (std::size_t i = 0; i < 8; ++i)
        for (std::size_t k = 0; k < 4; ++k) digest[4 * i + k] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * k));
    return digest;
}

std::string sha256Hex(std::span<const std::uint8_t> bytes, Sha256::Engine engine) {
    Sha256 hash(engine);
    hash.update(bytes);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (std::uint8_t b : hash.finish()) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}
