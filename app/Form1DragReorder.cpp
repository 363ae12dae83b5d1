// Reordering the list by dragging: the user presses on a path and, holding
// the button, moves along the list; the path travels with the pointer and
// every row passed over moves one place the other way. Only texts move: the
// items stay where they are, so the run, which reads texts by position,
// never sees a different count. Nothing moves while the list is locked.

#include "Form1.h"

#include "FileList.h"

#include <QTreeWidget>

// Read at every click, as the file beside the program is now.
std::optional<QCursor> Form1::DragPointer() const { return LoadDragPointer(ProgramPath); }

void Form1::ListView1_MouseDown() {
    dragActive_ = true;
    // A press beside the items arms nothing: the path dragged last must not
    // travel again.
    movedItem_ = QPersistentModelIndex();
}

void Form1::ListView1_ItemClick(QTreeWidgetItem* item) {
    if (!item || ListLocked()) return;
    if (const std::optional<QCursor> pointer = DragPointer())
        ListView1->viewport()->setCursor(*pointer);
    movedItem_ =
        QPersistentModelIndex(ListView1->model()->index(ListView1->indexOfTopLevelItem(item), 0));
}

void Form1::ListView1_MouseMove(const QPoint& position) {
    ShowDefaultPointer();  // takes back the pointer the buttons show
    if (!dragActive_ || ListLocked() || !movedItem_.isValid()) return;

    QTreeWidgetItem* target = ItemInRow(*ListView1, position);
    if (!target) return;
    const int from = movedItem_.row();
    const int to = ListView1->indexOfTopLevelItem(target);
    // Equal texts never exchange: nothing would visibly move.
    if (ListView1->topLevelItem(from)->text(0) == target->text(0)) return;

    MoveListText(*ListView1, from, to);
    ListView1->setCurrentItem(target);
    movedItem_ = QPersistentModelIndex(ListView1->model()->index(to, 0));
    ScrollNearListEdge(to + 1, position.y());
}

// Within a row of the list's top or bottom edge the neighbouring row is
// brought into view, so a path can travel past the visible part of the list.
void Form1::ScrollNearListEdge(int32_t target, int y) {
    const int rowHeight = ListView1->visualItemRect(ListView1->topLevelItem(target - 1)).height();
    if (y < rowHeight && target >= 2)
        ListView1->scrollToItem(ListView1->topLevelItem(target - 2));
    else if (y >= ListView1->viewport()->height() - rowHeight && target + 1 <= ListItemCount())
        ListView1->scrollToItem(ListView1->topLevelItem(target));
}

void Form1::ListView1_MouseUp() {
    dragActive_ = false;
    // Back to the window's pointer: the arrow, or the hourglass while busy.
    ListView1->viewport()->unsetCursor();
}
