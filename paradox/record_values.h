// The values of one record being written: the record's stored bytes plus the blob values to
// store. Every setter checks its value first and refuses it with an error naming the field;
// nothing is truncated, and a refused value leaves the record unchanged.
#pragma once

#include "paradox/status.h"
#include "paradox/table_spec.h"
#include "paradox/value.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velanta::paradox {

class RecordValues {
public:
  explicit RecordValues(std::shared_ptr<const TableLayout> layout);
  // Starts from stored record bytes (blob trailers stay as they are until a blob is set).
  RecordValues(std::shared_ptr<const TableLayout> layout, std::vector<std::uint8_t> stored);

  // Any typed value (int32 for S/I/+, double for N/$, Text for alpha, Date, …); blank clears
  // the field (for a blob: releases the value). Blob fields take setText.
  Status set(std::string_view field, const Value &value);
  // Alpha: the text as code-page bytes (cp1251 for this catalogue), at most the field's size,
  // no NUL byte. Blob fields (M, B, F, O, G): the value's stored bytes, any length.
  Status setText(std::string_view field, std::string_view bytes);
  Status setBlank(std::string_view field) { return set(field, Blank{}); }

  const TableLayout &layout() const { return *layout_; }
  const std::shared_ptr<const TableLayout> &layoutPtr() const { return layout_; }
  std::vector<std::uint8_t> &stored() { return stored_; }
  const std::vector<std::uint8_t> &stored() const { return stored_; }
  // Blob values set since construction, by field position (empty string = blank).
  const std::map<int, std::string> &newBlobs() const { return blobs_; }

private:
  Result<int> locate(std::string_view field) const;

  std::shared_ptr<const TableLayout> layout_;
  std::vector<std::uint8_t> stored_;
  std::map<int, std::string> blobs_;
};

} // namespace velanta::paradox
