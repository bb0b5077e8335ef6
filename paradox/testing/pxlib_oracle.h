// Test-only: reads a table with pxlib, the second opinion our files must satisfy.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velanta::paradox::testing {

extern thread_local bool attachingBlobFile;

// Each value as text: alpha and blobs as their bytes, integers and dates as decimal numbers,
// floating values with 17 significant digits, logical "1"/"0"; nullopt for blank.
using PxRecord = std::vector<std::optional<std::string>>;

struct PxTable {
  std::vector<std::string> fieldNames;
  std::vector<PxRecord> records;
};

// Opens dbPath (and mbPath when not empty); on failure returns nullopt and sets *error.
std::optional<PxTable> readWithPxlib(const std::string &dbPath, const std::string &mbPath,
                                     std::string *error);

} // namespace velanta::paradox::testing
