// How the reader compares stored key fields when it seeks in an index or builds one in
// memory: numeric, date and time encodings compare as unsigned bytes; alpha fields compare by
// the table's language driver over the full field width.
#pragma once

#include "paradox/field.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace velanta::paradox {

enum class Collation {
  kBytes,       // 'ascii' family and unknown drivers: unsigned bytes
  kAncyrr,      // Pdox ANSI Cyrillic (cp1251): weights of the driver
  kApproximate, // other collating drivers: case-folded bytes, then bytes (not exact)
};

Collation collationFor(std::string_view sortOrderId);

// One field of a key as laid out in some record (table, index or tree entry).
struct KeyField {
  int offset = 0;
  int width = 0;
  FieldType type = FieldType::kAlpha;
  bool descending = false;
  bool caseInsensitive = false;
};

// <0, 0, >0. `a` and `b` are the field's stored bytes (width each).
int compareKeyField(const KeyField &field, Collation collation, const std::uint8_t *a,
                    const std::uint8_t *b);

// Compares the key fields of a record (fields[i].offset inside it) with a key that holds the
// same fields back to back.
int compareKey(std::span<const KeyField> fields, Collation collation, const std::uint8_t *record,
               const std::uint8_t *key);

} // namespace velanta::paradox
