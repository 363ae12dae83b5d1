#pragma once
// The window with its list on screen, a temporary folder tree to add from,
// and synthetic mouse, key and drop events aimed at the list.

#include "AppTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <initializer_list>
#include <string>
#include <vector>

// Files and folders made on demand below a temporary folder.
class FolderTree {
public:
    std::string Root() const { return dir_.path().toStdString(); }
    std::string Path(const std::string& relative) const { return Root() + "/" + relative; }

    std::string Folder(const std::string& relative) {
        EXPECT_TRUE(QDir().mkpath(QString::fromStdString(Path(relative))));
        return Path(relative);
    }
    std::string File(const std::string& relative) {
        const std::string path = Path(relative);
        const size_t slash = path.rfind('/');
        QDir().mkpath(QString::fromStdString(path.substr(0, slash)));
        QFile file(QString::fromStdString(path));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path;
        file.write("x");
        return path;
    }

private:
    QTemporaryDir dir_;
};

class ListFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        form->show();
        QApplication::processEvents();
    }

    QTreeWidget& List() const { return *form->ListView1; }
    QWidget* Viewport() const { return form->ListView1->viewport(); }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (int32_t i = 1; i <= form->ListItemCount(); ++i) texts.push_back(form->ListItemText(i));
        return texts;
    }
    void Fill(std::initializer_list<const char*> texts) {
        for (const char* text : texts) form->AppendListItem(text);
        QApplication::processEvents();
    }
    int SelectedRow() const {  // 1-based; 0 without a selection
        const QList<QTreeWidgetItem*> selected = List().selectedItems();
        return selected.isEmpty() ? 0 : List().indexOfTopLevelItem(selected.front()) + 1;
    }
    void Select(int row) { List().setCurrentItem(List().topLevelItem(row - 1)); }

    // The middle of a row (1-based) in the viewport.
    QPoint RowCentre(int row) const { return List().visualItemRect(List().topLevelItem(row - 1)).center(); }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), Viewport()->mapToGlobal(QPointF(at)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(Viewport(), &event);
    }
    void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void DragTo(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void Hover(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    void DoubleClick(QPoint at) {
        Press(at);
        Release(at);
        Mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
        Release(at);
    }
    void Key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&List(), &event);
    }

    // A drag entering the list; true when the list would take it.
    bool DragEnters(const QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.accept();  // the list has to refuse it itself
        QApplication::sendEvent(Viewport(), &enter);
        return enter.isAccepted();
    }
    // Drops paths on the list and lets the drop's work run.
    Qt::DropAction Drop(const std::vector<std::string>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
        data.setUrls(urls);
        EXPECT_TRUE(DragEnters(data));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Viewport(), &drop);
        QApplication::processEvents();
        return drop.dropAction();
    }
};
