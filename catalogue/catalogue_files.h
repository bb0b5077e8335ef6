// The catalogue's files as the program knows them: names, fields, index and the table
// password. Plain constants, shared by the program and the tool that builds sample
// catalogues (no Qt here).
#pragma once

namespace catalogue {

// Both files lie in the process's current working directory, found by bare name.
inline constexpr char kKindsFile[] = "tip.db";
inline constexpr char kDocumentsFile[] = "base.db";

// The documents table is always presented in this index's order; its first key field is
// the document's kind.
inline constexpr char kDocumentsIndex[] = "TipGlavno";

inline constexpr char kKindField[] = "Tip";  // kinds: the kind's name; documents: its kind
inline constexpr char kNameField[] = "Name"; // documents: the title
inline constexpr char kTextField[] = "Text"; // documents: the body, rich text in a memo

// Handed to the session before any table opens, so that catalogues protected by it open
// without asking the user.
inline constexpr char kTablePassword[] = "Tavirek4806";

} // namespace catalogue
