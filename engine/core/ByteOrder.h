// Little-endian numbers in byte buffers: the layout of every file form, record
// and sample the program reads or writes. Loads and stores go byte by byte
// with shifts, so they are correct on any host and at any alignment, and the
// compiler turns them into single moves where the host is little-endian.
//
//   readLe16/24/32/64    unsigned value of 2, 3, 4 or 8 bytes
//   readLeI16/24/32/64   the same bytes as a two's-complement signed value
//   writeLe16/24/32/64   stores the low 2, 3, 4 or 8 bytes of an unsigned value
//   writeLeI16/24/32/64  stores a signed value in two's complement
#pragma once

#include <cstdint>

constexpr std::uint16_t readLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t readLe24(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}

constexpr std::uint32_t readLe32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint64_t readLe64(const std::uint8_t* p)
{
    return static_cast<std::uint64_t>(readLe32(p)) | (static_cast<std::uint64_t>(readLe32(p + 4)) << 32);
}

// Conversions of unsigned to signed values are modular since C++20.
constexpr std::int16_t readLeI16(const std::uint8_t* p) { return static_cast<std::int16_t>(readLe16(p)); }

// The three bytes go to the top of a 32-bit value; the arithmetic shift
// back down extends the sign.
constexpr std::int32_t readLeI24(const std::uint8_t* p)
{
    return static_cast<std::int32_t>(readLe24(p) << 8) >> 8;
}

constexpr std::int32_t readLeI32(const std::uint8_t* p) { return static_cast<std::int32_t>(readLe32(p)); }
constexpr std::int64_t readLeI64(const std::uint8_t* p) { return static_cast<std::int64_t>(readLe64(p)); }

constexpr void writeLe16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr void writeLe24(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
}

constexpr void writeLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr void writeLe64(std::uint8_t* p, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr void writeLeI16(std::uint8_t* p, std::int16_t v) { writeLe16(p, static_cast<std::uint16_t>(v)); }
constexpr void writeLeI24(std::uint8_t* p, std::int32_t v) { writeLe24(p, static_cast<std::uint32_t>(v)); }
constexpr void writeLeI32(std::uint8_t* p, std::int32_t v) { writeLe32(p, static_cast<std::uint32_t>(v)); }
constexpr void writeLeI64(std::uint8_t* p, std::int64_t v) { writeLe64(p, static_cast<std::uint64_t>(v)); }
