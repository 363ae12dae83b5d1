// Form1's file list: one path per item, read by the run in list order.
// Removing and clearing wait while the list is locked (a run or an import
// is going on); adding never waits.

#include "Form1.h"

#include "ErrorReport.h"
#include "FileList.h"
#include "cError.h"

#include <QTreeWidget>

void Form1::AppendListItem(const std::string& path) { AppendListPath(*ListView1, path); }

int32_t Form1::ListItemCount() const { return ListView1->topLevelItemCount(); }

std::string Form1::ListItemText(int32_t index) const {
    if (index < 1 || index > ListItemCount()) throw cError::Subscript();
    return ListView1->topLevelItem(index - 1)->text(0).toStdString();
}

void Form1::RemoveSelectedListItem() {
    if (ListLocked() || ListItemCount() == 0) return;
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty()) return;
    delete ListView1->takeTopLevelItem(ListView1->indexOfTopLevelItem(selected.front()));
}

void Form1::ListView1_DblClick() { RemoveSelectedListItem(); }

void Form1::ListView1_KeyDown(int keyCode) {
    if (keyCode == Qt::Key_Delete) RemoveSelectedListItem();
}

void Form1::PushButton7_Click() {
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton7_Click"));
    if (ListLocked()) return;
    guard.Step(100, [&] { ListView1->clear(); });
}
