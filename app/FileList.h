#pragma once
// The file list's own operations on the list control, shared by the window
// and the sample loader. An item's only content is its text: one path.

#include <QCursor>

#include <optional>
#include <string>

class QPoint;
class QTreeWidget;
class QTreeWidgetItem;

// Adds one item with the given text at the end.
void AppendListPath(QTreeWidget& list, const std::string& path);

// Makes the text at row from (0-based) travel to row to; the texts between
// move one row back towards from. Item count and items stay, only texts
// change. Rows next to each other simply exchange their texts.
void MoveListText(QTreeWidget& list, int from, int to);

// The item in the row at a point of the list's viewport, wherever in the row
// the point lies; none beside the viewport or below the last row.
QTreeWidgetItem* ItemInRow(const QTreeWidget& list, const QPoint& point);

// The pointer shown while a path is dragged along the list: drag.ico of the
// program's data files (DataFilePath). The program ships no drag.ico of its
// own, so without the file the vertical-move pointer stands in for it; a
// drag.ico that is there but cannot be read gives none, and the list keeps
// the pointer it has.
std::optional<QCursor> LoadDragPointer(const std::string& programFolder);
