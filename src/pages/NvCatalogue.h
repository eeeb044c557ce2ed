#pragma once
// The settings page's item catalogue: fourteen categories (tab order = the category index handed
// to the plug-in) and the fixed item names of each, in row order. Names only: the program knows
// no default, range or type of any item.
#include <QString>
#include <QStringList>

constexpr int NV_CATEGORY_COUNT = 14;

// "General NAM", "NAM1", ..., "Reserved2"; empty for an index outside 0..13.
QString NvCategoryTabText(int category);
// Rows of a category: 3, 24, 24, 2, 72, 36, 14, 23, 7, 12, 2, 0, 0, 0 (0 outside 0..13).
int NvCategoryItemCount(int category);
// The item names of a category in row order.
QStringList NvCategoryItems(int category);
// One item name; empty when out of range.
QString NvItemName(int category, int row);
// All rows of all categories (219).
int NvTotalItemCount();
