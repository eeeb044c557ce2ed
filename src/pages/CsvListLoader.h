#pragma once
// Fills the phonebook list from a CSV file without holding up the window. A small file is read
// into the list at once; a large one is parsed on a thread of its own into rows ready for the
// list, which then takes them in one step:
//
//   FillListFromCsv ─ list emptied ─┬─ small: parsed into the list now
//                                   └─ large: parser thread ─▶ (event) rows swapped in
//
// Whatever changes the list meanwhile (another load, the page emptying it, a plug-in writing to
// it) wins: the pending rows are dropped. CompletePendingCsvLoad puts them in at once (waiting for
// the parser), for readers that need the whole list now.
#include <QByteArray>

class CXListCtrl;

// Files from this size on are parsed aside (about 800 lines: smaller ones take a few ms).
constexpr qint64 CSV_PARSE_ASIDE_BYTES = 64 * 1024;

// Deletes every row of the list and fills it with the entries of a CSV file's bytes (see above).
void FillListFromCsv(CXListCtrl* list, QByteArray bytes);
// The same, always on the calling thread.
void FillListFromCsvNow(CXListCtrl* list, QByteArrayView bytes);
// Puts the rows of a load still under way into the list now.
void CompletePendingCsvLoad(CXListCtrl* list);
