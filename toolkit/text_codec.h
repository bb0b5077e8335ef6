// The single-byte code page of the program's text (Windows-1251) at the edge with Qt.
#pragma once

#include <QByteArray>
#include <QString>

namespace toolkit {

// Decodes 1251 bytes; every byte maps to one character.
QString fromCp1251(QByteArrayView bytes);

// Encodes into 1251; a character the code page cannot hold becomes "?".
QByteArray toCp1251(const QString &text);

// True when every character of the text can be held by 1251.
bool fitsCp1251(const QString &text);

} // namespace toolkit
