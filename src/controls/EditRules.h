#pragma once
// Rules of the grid's in-place editors, kept free of widgets so they can be tested on their own.
// Every change of a field's text goes through them, however it comes: typed, pasted with Ctrl+V
// or from the context menu, dropped.
//
// Edit field:
//   1. allowed characters: with a set given, a change that inserts any other character is
//      refused. A change that only removes text (Backspace, Delete, Ctrl+X) always passes.
//   2. byte width 1..4: the text as the change would leave it is read as a number, hexadecimal
//      when it contains "0x", decimal otherwise; it is refused when the value exceeds the width
//      (255, 65535, 16777215, 4294967295), or when the value is 0 and the text is longer than one
//      character ("00" is refused at the second zero). A bare "0x" is an unfinished hex number
//      and passes while typing, so that hex values can be typed at all.
//   3. text bytes: a text row of a fixed size takes at most that many bytes (UTF-8, the form in
//      which a cell's text reaches a plug-in).
//   4. minimum length: checked when the field is left, not per change.
// IP address field: each of its four parts takes digits only, and a number from 0 to 255.
#include <QString>

struct SEditFieldRule
{
    QString strAllowed; // empty: every character
    int nMinLength = 0;
    int nByteWidth = 0; // 0: no number check
    int nMaxBytes = 0;  // 0: no limit
};

// Largest value of a byte width, 0 for a width outside 1..4.
quint64 MaxValueForByteWidth(int byteWidth);

// Reads the field's text the way the width rule does (leading blanks skipped, as many digits as
// there are; "0x" anywhere makes it hexadecimal). Values beyond 64 bits saturate.
quint64 FieldNumber(const QString& text);

// Decides one change of a field: `before` is the text the rules last accepted, `after` the text
// the change would leave. What the change inserted is the part of `after` that `before` lacks.
bool AcceptEditChange(const SEditFieldRule& rule, const QString& before, const QString& after);

// True when a finished text may go into the cell: rules 1 to 3 hold for the whole text (a bare
// "0x" is not a number). The minimum length is checked apart, because it has its message.
bool AcceptEditResult(const SEditFieldRule& rule, const QString& text);

// True when a field may be left with this text.
bool MeetsMinimumLength(const SEditFieldRule& rule, const QString& text);

// One part of an IP address field as a change would leave it.
enum class EIpPart
{
    Accepted,   // empty, or a number from 0 to 255
    NotANumber, // refused with a beep
    OutOfRange  // refused with IP_PART_RANGE_TEXT
};
EIpPart CheckIpPart(const QString& text);
extern const char IP_PART_RANGE_TEXT[];

// The text of an IP address field: "%d.%d.%d.%d".
QString FormatIpAddress(int a, int b, int c, int d);
