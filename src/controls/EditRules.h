#pragma once
// Keystroke rules of the grid's in-place edit field, kept free of widgets so they can be tested
// on their own.
//
//   1. allowed characters: with a set given, any other typed character is refused. Backspace,
//      Ctrl+C and Ctrl+X always pass; Ctrl+V passes when every pasted character is allowed.
//   2. byte width 1..4: the text as it would be after the keystroke is read as a number,
//      hexadecimal when it contains "0x", decimal otherwise; it is refused when the value exceeds
//      the width (255, 65535, 16777215, 4294967295), or when the value is 0 and the text is longer
//      than one character ("00" is refused at the second zero). A bare "0x" is an unfinished hex
//      number and passes, so that hex values can be typed at all.
//   3. minimum length: checked when the field loses the focus, not per keystroke.
#include <QString>

struct SEditFieldRule
{
    QString strAllowed; // empty: every character
    int nMinLength = 0;
    int nByteWidth = 0; // 0: no number check
};

enum class EEditKey
{
    Char,
    Backspace,
    Copy,
    Cut,
    Paste
};

// Largest value of a byte width, 0 for a width outside 1..4.
quint64 MaxValueForByteWidth(int byteWidth);

// Reads the field's text the way the width rule does (leading blanks skipped, as many digits as
// there are; "0x" anywhere makes it hexadecimal). Values beyond 64 bits saturate.
quint64 FieldNumber(const QString& text);

// Decides one keystroke. `inserted` is the typed or pasted text, `after` the field's text as the
// keystroke would leave it.
bool AcceptEditKeystroke(const SEditFieldRule& rule, EEditKey key, const QString& inserted,
                         const QString& after);

// True when a field may be left with this text.
bool MeetsMinimumLength(const SEditFieldRule& rule, const QString& text);

// The text of an IP address field: "%d.%d.%d.%d".
QString FormatIpAddress(int a, int b, int c, int d);
