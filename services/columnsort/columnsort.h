#pragma once
// Sorting a list gadget by a column: a header click sorts by that column and a second click
// reverses it; the program can ask for a sort itself. The sorted column's header shows a mark
// for the direction (an arrow picture, or guillemets around the title).
//
// Each attached list keeps a next direction: +1 at attach, and after every sort the opposite of
// the direction just used. A user click on the column sorted last uses it; a click on another
// column starts again at +1. So after `ColumnSorterSortNow(5, 0, +1)` the rows are ascending
// with an up arrow on column 0, a click on column 0's header gives descending order with a down
// arrow, and a click on column 2's header then sorts column 2 ascending and moves the arrow.
//
// Kind 0 compares the first 255 bytes of two cells with the ASCII capitals folded to lower case
// and every other byte by its unsigned value (an "É" sorts after every ASCII letter); kind 7
// marks a column that is never sorted. Any other kind compares as kind 0. Rows whose texts
// compare equal keep their order. The selected row stays selected wherever it moves, and a sort
// raises no event for the program.
//
// The rows are numbered: each row's first cell answers its row index as its item data, after
// every sort, insertion and removal (the list's model answers it from the row's place). Sorting
// an empty list does nothing at all, not even the mark. It does not create lists or columns;
// that is the GUI layer's work.
//
// Result codes: 1 done, 2 no such gadget, 3 column outside 0..255, 4 list not attached.
inline constexpr int kSorterDone = 1;
inline constexpr int kSorterNoGadget = 2;
inline constexpr int kSorterBadColumn = 3;
inline constexpr int kSorterNotAttached = 4;

inline constexpr int kHeaderMarkGuillemets = 1;
inline constexpr int kHeaderMarkArrowLeft = 2;
inline constexpr int kHeaderMarkArrowRight = 3;

inline constexpr int kSortKindTextNoCase = 0;
inline constexpr int kSortKindNotSorted = 7;

inline constexpr int kSortAscending = 1;
inline constexpr int kSortDescending = -1;

void ColumnSorterInit();  // makes the two arrow pictures; part of the services' start-up
// 1 attached (again: the list's record is reused, its state reset), 2 no such list gadget.
int ColumnSorterAttach(int gadget, int headerMark);
int ColumnSorterSetKind(int gadget, int column, int kind);
int ColumnSorterSortNow(int gadget, int column, int direction);
// Frees the arrow pictures; marks shown afterwards have no picture until the next init.
void ColumnSorterRelease();
