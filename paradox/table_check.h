// Integrity check of a table family, as `velanta-tool check` runs it: the block chain and free
// list of the .DB, the header counts, every blob reference against the .MB, the primary index
// and every maintained secondary index against the data (order, contents, Blk Num hints, tree
// level 1, stamps). Reads only; never changes a file.
#pragma once

#include "paradox/file.h"
#include "paradox/status.h"

#include <string>
#include <vector>

namespace velanta::paradox {

// The problems found, one line each (Russian, naming the file); empty when the table is sound.
// Fails only when the table cannot be opened at all.
Result<std::vector<std::string>> checkTable(FileSystem &fs, const std::string &directory,
                                            const std::string &name,
                                            const std::vector<std::string> &passwords = {});

} // namespace velanta::paradox
