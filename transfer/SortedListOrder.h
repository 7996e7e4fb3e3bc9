// SortedListOrder.h - the order in which to hand rows to a list view that sorts
// itself ascending, so that it places each one with a single comparison.
//
// Wine's sorted list view finds the place of a new row by comparing it with the
// rows from the top, and puts it before the first row that is greater or equal.
// Rows handed over from the greatest name down each land at the top at once; rows
// of equal names handed over in their original order end up in reverse, exactly
// where adding them one by one in the original order puts them. (Windows' own list
// view searches by halving, where any order is cheap.)
#ifndef DERAR_SORTEDLISTORDER_H
#define DERAR_SORTEDLISTORDER_H

#include <afxwin.h>

#include <vector>

// names: the rows' names in the order in which adding them one by one would insert
// them. Returns the positions of names in the order to insert them instead: names
// descending as the list view compares them, equal names in their original order.
std::vector<size_t> CheapestSortedInsertOrder(const std::vector<CString>& names);

#endif
