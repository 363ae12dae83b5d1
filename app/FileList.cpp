#include "FileList.h"

#include "MainPaths.h"
#include "MainUtilities.h"

#include <QPixmap>
#include <QTreeWidget>

void AppendListPath(QTreeWidget& list, const std::string& path) {
    auto* item = new QTreeWidgetItem(&list);
    item->setText(0, QString::fromStdString(path));
}

void MoveListText(QTreeWidget& list, int from, int to) {
    const int count = list.topLevelItemCount();
    if (from == to || from < 0 || to < 0 || from >= count || to >= count) return;
    const QString travelling = list.topLevelItem(from)->text(0);
    const int step = from < to ? 1 : -1;
    for (int row = from; row != to; row += step)
        list.topLevelItem(row)->setText(0, list.topLevelItem(row + step)->text(0));
    list.topLevelItem(to)->setText(0, travelling);
}

QTreeWidgetItem* ItemInRow(const QTreeWidget& list, const QPoint& point) {
    if (point.x() < 0 || point.x() >= list.viewport()->width()) return nullptr;
    return list.itemAt(QPoint(0, point.y()));
}

std::optional<QCursor> LoadDragPointer(const std::string& programFolder) {
    const std::string file = DataFilePath(programFolder, "drag.ico");
    if (!FileExists(file)) return QCursor(Qt::SizeVerCursor);
    const QPixmap image(QString::fromStdString(file));
    if (image.isNull()) return std::nullopt;
    return QCursor(image);  // an icon has no hot spot: its centre
}
