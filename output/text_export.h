// The exported text file: its bytes, the name proposed for it, and a write that never
// leaves a half-written or destroyed file behind.
#pragma once

#include <QByteArray>
#include <QString>

namespace output {

// The longest file name (without its folder) the file systems here accept, in bytes.
inline constexpr int kMaxFileNameBytes = 255;

// CR LF, the plain text in code page 1251 (a character the code page cannot hold becomes
// "?"), CR LF. Each line break of the text becomes exactly one CR LF: LF alone and the pair
// CR LF alike; a lone CR stays as it is. Nothing else is added or interpreted ("%" included).
QByteArray exportedTextBytes(const QString &plainText);

// The name offered in the save dialog: the document's name followed by the extension.
// "/" and NUL, which cannot stand in a file name, become "_"; a name too long for the
// file system is cut (whole characters, from its end) so that the extension survives.
QString proposedFileName(const QString &nameValue, const QString &extension);

// Writes `bytes` as the whole content of the file at `path`: into a new file in the same
// folder, flushed and synced, then renamed over the target. An existing file keeps its
// content when anything fails, and keeps its permissions when replaced; a symbolic link is
// written through to the file it names. A read-only file is refused. Throws
// toolkit::Exception with a Russian message that names the path and the system's reason.
void replaceFileContent(const QString &path, const QByteArray &bytes);

} // namespace output
