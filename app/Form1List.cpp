// Form1's file list: one path per item, read by the run in list order.

#include "Form1.h"

#include "cError.h"

#include <QTreeWidget>

void Form1::AppendListItem(const std::string& path) {
    auto* item = new QTreeWidgetItem(ListView1);
    item->setText(0, QString::fromStdString(path));
}

int32_t Form1::ListItemCount() const { return ListView1->topLevelItemCount(); }

std::string Form1::ListItemText(int32_t index) const {
    if (index < 1 || index > ListItemCount()) throw cError::Subscript();
    return ListView1->topLevelItem(index - 1)->text(0).toStdString();
}
