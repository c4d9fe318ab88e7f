// Fixed-width integer names used throughout the program.
#ifndef MELVIR_PLATFORM_TYPES_H
#define MELVIR_PLATFORM_TYPES_H

#include <cstddef>
#include <cstdint>

typedef std::uint8_t u8;
typedef std::uint16_t u16;
typedef std::uint32_t u32;
typedef std::uint64_t u64;
typedef std::int64_t i64;

#endif
