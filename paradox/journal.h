// Durability of a change that spans several files of a table (.DB, .MB, .PX, .Xnn/.XGn,
// .Ynn/.YGn): a rollback journal beside the table, "<table file>-journal".
//
// Commit of one change, whose new bytes sit in PageOverlays:
//   1. the journal gets, for every file, its size and the original bytes of every page the
//      change overwrites, then a checksum and an end mark; it is synced;
//   2. the pages are written into the files and every file is synced (and cut to its new size);
//   3. the journal is removed — this is the moment the change becomes permanent.
// A process killed (or a machine losing power) before 3 leaves a complete journal behind; the
// next process that opens the table for writing or reading takes the table's modification lock,
// finds the journal "hot" and copies the original bytes back, so the change is wholly absent.
// A journal cut short or failing its checksum was never complete, so no table file was touched
// yet: it is simply removed. Every earlier change was complete before its journal went away.
#pragma once

#include "paradox/file.h"
#include "paradox/page_overlay.h"

#include <string>
#include <vector>

namespace velanta::paradox {

std::string journalPath(const std::string &dbPath);

struct JournalTarget {
  std::string path; // the file's full path (stored by name, resolved against the DB's folder)
  PageOverlay *overlay = nullptr;
};

// Commits the pending pages of every target atomically (steps 1-3 above). On failure after the
// journal was written it tries to roll back at once; if that fails too, the journal stays and
// the next opener rolls back. Overlays are reset on success.
Status commitWithJournal(FileSystem &fs, const std::string &dbPath,
                         std::vector<JournalTarget> targets);

// For everyone who opens a table, readers included: when a journal lies beside it, takes the
// table's modification lock, rolls the journal back (if still there) and lets go. Without a
// journal this costs one lookup. A hot journal in a folder we cannot write gives
// kTableReadOnly (the table cannot be read safely until a writer recovers it).
Status recoverBeforeOpening(FileSystem &fs, const std::string &dbPath);

// Rolls back a hot journal of the table if there is one (call with the modification lock held).
// *rolledBack tells whether a change was undone.
Status recoverJournal(FileSystem &fs, const std::string &dbPath, bool *rolledBack = nullptr);

} // namespace velanta::paradox
