#pragma once
// Which value stands behind each row of the settings catalogue (src/pages/NvCatalogue.h): a
// public NV item, a private item of PrivateItems.h, the PRL image or the version answer. Rows are
// found by category and catalogue name (the n-th row of a repeated name by its occurrence), so a
// renamed catalogue row falls out of the map and a unit test notices.
#include "SettingsCodec.h"

#include <span>

struct SLeftOutRow
{
    int category;
    const char* name;
    const char* reason;
};

// The field behind catalogue row `row` of a category (0..13); false when the row is left out.
bool SettingsRowField(int category, int row, SNvField& field);
// Rows that are deliberately not mapped, with the reason.
std::span<const SLeftOutRow> SettingsLeftOut();
// 0 / 1 for the NAM1 / NAM2 categories (data byte 0 of their items), -1 otherwise.
int SettingsNamOf(int category);
