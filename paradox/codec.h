// Field codecs: the stored bytes of one field <-> a typed Value, in both directions.
// Stored values use big-endian "sortable" encodings (sign bit flipped), blank = all zeros;
// blob fields keep a leader and a little-endian 10-byte trailer.
#pragma once

#include "paradox/field.h"
#include "paradox/status.h"
#include "paradox/value.h"

#include <cstdint>
#include <span>

namespace velanta::paradox {

// Decodes field.width bytes. Never fails: a value the bytes cannot make sense of (a BCD with a
// bad nibble) decodes as blank; unknown field types decode as Bytes.
Value decodeValue(const Field &field, std::span<const std::uint8_t> stored);

// Encodes into exactly field.width bytes. The Value's alternative must suit the field type
// (int32 or double for numbers, Text for alpha, …); a value that does not fit (text longer
// than the field, a short out of range, BCD with other decimals) gives kInvalidArgument naming
// the field, and `out` is then left unchanged. Blob writes leader + trailer only.
Status encodeValue(const Field &field, const Value &value, std::span<std::uint8_t> out);

} // namespace velanta::paradox
