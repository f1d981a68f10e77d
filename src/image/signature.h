// The colour signature of a picture or a cell: the record the library tables, their
// files and the cell file store unchanged, so its layout is fixed to the byte.
//
// Both records are plain bytes and one little-endian i32, packed without gaps by their
// natural alignment; a file reader or writer may memcpy them whole (never cast an
// unaligned pointer to them).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tessaro {

static_assert(std::endian::native == std::endian::little,
              "signature records are stored as raw little-endian bytes");

// The average colour of an area; Grey = trunc(0.299 R + 0.587 G + 0.114 B) of the
// averaged channels.
struct SignatureColor {
  std::uint8_t Grey = 0;
  std::uint8_t R = 0;
  std::uint8_t G = 0;
  std::uint8_t B = 0;
  friend constexpr bool operator==(const SignatureColor&, const SignatureColor&) = default;
};

// Taken from a 64 x 64 area-averaged reduction of the picture. Grid entry (row r,
// column c) of an n-column grid is at index r * n + c, rows from the top.
struct ImageSignature {
  std::int32_t PaletteIndex = 0;  // ColorToPaletteIndex(Average), 0..215
  SignatureColor Average;         // the whole reduction
  SignatureColor Grid2[4];        // 32 x 32 blocks
  SignatureColor Grid4[16];       // 16 x 16 blocks
  SignatureColor Grid8[64];       // 8 x 8 blocks
  friend constexpr bool operator==(const ImageSignature&, const ImageSignature&) = default;
};

static_assert(sizeof(SignatureColor) == 4);
static_assert(offsetof(SignatureColor, Grey) == 0 && offsetof(SignatureColor, R) == 1 &&
              offsetof(SignatureColor, G) == 2 && offsetof(SignatureColor, B) == 3);
static_assert(sizeof(ImageSignature) == 344);
static_assert(offsetof(ImageSignature, PaletteIndex) == 0);
static_assert(offsetof(ImageSignature, Average) == 4);
static_assert(offsetof(ImageSignature, Grid2) == 8);
static_assert(offsetof(ImageSignature, Grid4) == 24);
static_assert(offsetof(ImageSignature, Grid8) == 88);

}  // namespace tessaro
