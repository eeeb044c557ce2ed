#pragma once
// Texts that are bytes: phonebook fields and the list cells that cross the plug-in boundary.
// They stay byte for byte while they travel inside a QString:
//
//   bytes ──TextFromBytes──▶ QString ──BytesFromText──▶ the same bytes
//
//   a valid UTF-8 sequence      its character (shown as text)
//   any other byte b (>= 0x80)  the lone surrogate U+DC00 + b (never part of real text)
//
// So a file in an 8-bit code page (CP949, Latin-1, ...) keeps its bytes, and UTF-8 text reads
// as text. A lone surrogate outside U+DC80..U+DCFF in a text turns into U+FFFD.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

QString TextFromBytes(QByteArrayView bytes);
QByteArray BytesFromText(QStringView text);
// True when every byte belongs to a valid UTF-8 sequence.
bool IsUtf8(QByteArrayView bytes);
