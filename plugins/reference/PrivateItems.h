#pragma once
// Settings rows that no public NV item holds live in private items from 0xF000 upward, where real
// item numbers do not reach. The reference plug-in and the handset simulator share this one table:
// the plug-in reads and writes the rows through it, the simulator seeds its factory values from it.
//
// Every private item holds one value at data byte 0, coded as SettingsCodec.h says for its kind.
// Blocks: FEATURE 0xF000, SMS_EMS 0xF100, MMS 0xF200, WAP 0xF300, BREW 0xF400, LBS 0xF500,
// Data Parameter rows without a public item 0xF600. A number once given is never reused.
#include "SettingsCodec.h"

#include <QByteArray>
#include <QString>

#include <span>

struct SPrivateItem
{
    int category;        // settings category index (4 FEATURE ... 10 LBS)
    const char* row;     // catalogue row name, exactly (trailing blanks included)
    int occurrence;      // 0; 1, 2 for the later rows of a name the category repeats
    quint16 item;        // 0xF000 upward
    ENvKind kind;        // NK_NUMBER, NK_HEX, NK_TEXT, NK_DIGITS, NK_DIAL, NK_LTEXT or NK_IPV4
    int width;           // bytes of a number, characters of a text
    const char* choices; // drop-down texts, or nullptr
    const char* factory; // the factory value as the grid shows it
    bool readOnly;       // shown, never written by the plug-in
};

constexpr quint16 PRIVATE_ITEM_FIRST = 0xF000;

std::span<const SPrivateItem> PrivateItems();
// The private item of a catalogue row, or nullptr.
const SPrivateItem* FindPrivateItem(int category, const QString& row, int occurrence);
// The field (offset 0) the plug-in's codec reads and writes.
SNvField PrivateField(const SPrivateItem& p);
// The 128 data bytes of the factory value; empty if the table's factory text does not fit the
// row (a unit test keeps that from happening).
QByteArray PrivateFactoryData(const SPrivateItem& p);
