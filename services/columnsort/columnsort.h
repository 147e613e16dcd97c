#pragma once
// Sorting a list gadget by a column: a header click sorts by that column and a second click
// reverses it; the program can ask for a sort itself. The sorted column shows an arrow.
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

void ColumnSorterInit();  // makes the two arrow pictures; part of the services' start-up
int ColumnSorterAttach(int gadget, int headerMark);
int ColumnSorterSetKind(int gadget, int column, int kind);
int ColumnSorterSortNow(int gadget, int column, int direction);
void ColumnSorterRelease();
