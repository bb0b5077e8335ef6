// A synthetic catalogue for the benchmarks: tip.db and base.db as the program opens them
// (protected with the program's table password, code page 1251, index TipGlavno), with N
// documents over N/100 kinds and Russian RTF bodies of 1-200 KB (paragraphs, bold runs and
// tables), most of them small as real templates are. Made once per size under the temp
// directory and reused by later runs.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace velanta::bench {

// The folder holding the catalogue of `documents` documents; made on first use (a marker
// file says the catalogue is complete). Throws std::runtime_error when it cannot be made.
std::filesystem::path syntheticCatalogue(int documents);

// The body of document `index`: an RTF text of about `bytes` bytes (cp1251 escapes).
std::string syntheticBody(int index, std::size_t bytes);

// The body size of document `index`: 1-200 KB, skewed towards small, every 1000th 200 KB.
std::size_t syntheticBodySize(int index);

// The kind and name of document `index` as cp1251 bytes.
std::string syntheticKind(int kind);

} // namespace velanta::bench
