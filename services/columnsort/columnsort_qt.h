#pragma once
// The column sorter's pictures as Qt sees them, for the services and the tests that check what
// a header shows. The application never includes this.
#include <QImage>

// The arrow picture: index 0 up, 1 down. A null image before ColumnSorterInit or after
// ColumnSorterRelease, or when the embedded picture could not be read.
QImage ColumnSorterArrow(int index);
