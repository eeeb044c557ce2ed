#pragma once
// Fills the phonebook list from a CSV file without holding up the window. A small file is read
// into the list at once; a large one is parsed on a thread of its own into rows ready for the
// list, which then takes them in one step:
//
//   FillListFromCsv ─ file read ─ list emptied ─┬─ small: parsed into the list now
//                                               └─ large: parser thread ─▶ (event) rows swapped in
//
// Whatever changes the list meanwhile (another load, the page emptying it, a plug-in writing to
// it) wins: the pending rows are dropped. CompletePendingCsvLoad puts them in at once (waiting for
// the parser), for readers that need the whole list now.
#include <QString>

class CXListCtrl;

// Files from this size on are parsed aside (about 800 lines: smaller ones take a few ms).
constexpr qint64 CSV_PARSE_ASIDE_BYTES = 64 * 1024;

// Deletes every row of the list and reads the CSV file into it (see above). False, with the
// list unchanged, when the file cannot be opened.
bool FillListFromCsv(CXListCtrl* list, const QString& path);
// The same, always on the calling thread.
bool FillListFromCsvNow(CXListCtrl* list, const QString& path);
// Puts the rows of a load still under way into the list now.
void CompletePendingCsvLoad(CXListCtrl* list);
