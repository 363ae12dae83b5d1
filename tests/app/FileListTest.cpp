// The file list: adding through the open dialog, removing, clearing, and
// reordering by dragging a path along the list.

#include "AppTestSupport.h"
#include "FileList.h"
#include "QtDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>
#include <tuple>

class FileList : public WindowFixture {
protected:
    QWidget* Viewport() const { return List().viewport(); }
    QPoint RowCentre(int row) const {
        return List().visualItemRect(List().topLevelItem(row - 1)).center();
    }
    int SelectedRow() const {  // 0 without a selection
        const QList<QTreeWidgetItem*> selected = List().selectedItems();
        return selected.isEmpty() ? 0 : List().indexOfTopLevelItem(selected.front()) + 1;
    }
    // The list of one-letter texts as one string, and filled from one.
    std::string Letters() const {
        std::string letters;
        for (const std::string& text : ListTexts()) letters += text;
        return letters;
    }
    void Fill(const std::string& letters) {
        for (char letter : letters) form->AppendListItem(std::string(1, letter));
        QApplication::processEvents();
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), Viewport()->mapToGlobal(QPointF(at)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(Viewport(), &event);
    }
    void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void DragTo(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void Hover(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    void Key(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&List(), &event);
    }
    // Every way of changing the list besides adding, aimed at its first item.
    void TryEditing() {
        Select(1);
        form->ListView1_DblClick();
        form->ListView1_KeyDown(Qt::Key_Delete);
        form->PushButton7_Click();
        Press(RowCentre(1));
        DragTo(RowCentre(2));
        Release(RowCentre(2));
    }
};

TEST_F(FileList, OpenDialogAppendsTheChosenFilesInItsOrder) {
    form->PushButton1->click();  // cancelled: nothing appended, nothing said
    EXPECT_TRUE(ListTexts().empty());
    dialogs.OpenFilesAnswer = {"/tmp//one.bmp"};  // one file: as given, also when listed already
    form->PushButton1_Click();
    form->PushButton1_Click();
    dialogs.OpenFilesAnswer = {"//b.bmp", "//a.bmp", "/in//c.bmp"};  // several: normalised
    form->PushButton1_Click();
    EXPECT_EQ(ListTexts(),
              (Texts{"/tmp//one.bmp", "/tmp//one.bmp", "/b.bmp", "/a.bmp", "/in/c.bmp"}));
    EXPECT_TRUE(dialogs.Boxes.empty());

    const Texts asked{"Add File(s) - Hold Ctrl or Shift to select multiple files",
                      "BMP Files (*.bmp;*.bmp) (*.bmp *.bmp)"};
    EXPECT_EQ(dialogs.OpenFiles, std::vector<Texts>(4, asked));
    // The real dialog shows the label without the patterns and filters by the patterns.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureOpenFilesDialog(dialog, asked[0], asked[1]);
    EXPECT_EQ(dialog.windowTitle().toStdString(), asked[0]);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_TRUE(types && types->count() == 1);
    EXPECT_EQ(types->itemText(0), "BMP Files (*.bmp;*.bmp)");
    const auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), (QStringList{"*.bmp", "*.bmp"}));
}

TEST_F(FileList, DoubleClickAndDeleteRemoveOnlyTheSelectedItem) {
    TryEditing();  // an empty list: nothing to do
    Fill("abcd");
    List().clearSelection();
    form->ListView1_DblClick();
    form->ListView1_KeyDown(Qt::Key_Delete);
    EXPECT_EQ(Letters(), "abcd");

    Press(RowCentre(2));
    Release(RowCentre(2));
    Mouse(QEvent::MouseButtonDblClick, RowCentre(2), Qt::LeftButton, Qt::LeftButton);
    Release(RowCentre(2));
    EXPECT_EQ(Letters(), "acd");
    Select(3);
    List().setFocus();
    Key(Qt::Key_Backspace);  // not the Delete key
    Key(Qt::Key_Escape);
    EXPECT_EQ(Letters(), "acd");
    Key(Qt::Key_Delete);
    EXPECT_EQ(Letters(), "ac");
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(FileList, NothingChangesTheListWhileBusyOrDuringARun) {
    Fill("ab");
    form->SetMousePointer(Form1::PointerKind::Hourglass);
    TryEditing();
    EXPECT_EQ(Letters(), "ab");
    Hover(RowCentre(1));  // the hourglass stays over the list
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Hourglass);
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::WaitCursor);
    form->SetMousePointer(Form1::PointerKind::Default);

    form->Text1->setText("/no/such/folder/");
    std::string duringRun;
    dialogs.OnBox = [&](const RecordedBox&) {  // the run's "Folder does not exist" box
        ASSERT_TRUE(form->IsReducing());
        TryEditing();
        duringRun = Letters();
    };
    form->PushButton2_Click();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(duringRun, "ab");
    form->ListView1_KeyDown(Qt::Key_Delete);  // item 1 is still selected
    EXPECT_EQ(Letters(), "b");
}

TEST_F(FileList, TheDraggedPathTravelsAndTheRowsPassedMoveBack) {
    struct Case {
        const char* start;
        int pressed;
        std::vector<std::tuple<int, const char*, int>> moves;  // row, letters then, selected row
    };
    const Case cases[] = {
        {"wxABz", 3, {{4, "wxBAz", 4}}},
        {"abcde", 1, {{2, "bacde", 2}, {3, "bcade", 3}, {4, "bcdae", 4}, {2, "bacde", 2}}},
        {"abcd", 1, {{4, "bcda", 4}, {1, "abcd", 1}}},  // a jump keeps the others' order
        {"AAB", 1, {{2, "AAB", 1}, {3, "ABA", 3}}},     // equal texts never exchange
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        form->PushButton7_Click();
        Fill(c.start);
        Press(RowCentre(c.pressed));
        EXPECT_EQ(SelectedRow(), c.pressed);          // the press selects, before any move
        DragTo(RowCentre(c.pressed) + QPoint(0, 2));  // still on its own row
        EXPECT_EQ(Letters(), c.start);
        for (const auto& [row, letters, selected] : c.moves) {
            DragTo(RowCentre(row));
            EXPECT_EQ(Letters(), letters) << "over row " << row;
            EXPECT_EQ(SelectedRow(), selected) << "over row " << row;
        }
        const std::string last = Letters();
        Release(RowCentre(1));
        DragTo(RowCentre(2));  // released: moving on changes nothing
        Hover(RowCentre(3));
        EXPECT_EQ(Letters(), last);
    }
}

TEST_F(FileList, APressArmsADragAnywhereAlongItsRowButNowhereElse) {
    Fill("abc");
    const QPoint right(Viewport()->width() - 2, RowCentre(1).y());  // beyond the column
    Press(right);
    DragTo(QPoint(right.x(), RowCentre(2).y()));
    Release(RowCentre(2));
    EXPECT_EQ(Letters(), "bac");

    Press(QPoint(10, Viewport()->height() - 3));  // below the items: the last path stays put
    DragTo(RowCentre(3));
    DragTo(RowCentre(1));
    Release(RowCentre(1));
    EXPECT_EQ(Letters(), "bac");

    Press(RowCentre(1));
    Key(Qt::Key_Delete);  // the dragged item itself goes
    DragTo(RowCentre(2));
    Release(RowCentre(2));
    EXPECT_EQ(Letters(), "ac");
}

TEST_F(FileList, TheListScrollsOnlyAsThePathNearsItsEdges) {
    for (int i = 1; i <= 40; ++i) form->AppendListItem("item " + std::to_string(i));
    QApplication::processEvents();
    Texts items = ListTexts();
    QScrollBar* scroll = List().verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    Press(RowCentre(2));
    DragTo(RowCentre(3));
    DragTo(RowCentre(4));
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(form->ListItemText(4), "item 2");

    // Down to the row at the bottom edge: the row after it comes into view.
    const QPoint bottom(10, Viewport()->height() - 2);
    const int bottomRow = List().indexOfTopLevelItem(List().itemAt(bottom)) + 1;
    ASSERT_GT(bottomRow, 4);
    DragTo(bottom);
    EXPECT_EQ(form->ListItemText(bottomRow), "item 2");
    const int scrolled = scroll->value();
    EXPECT_GT(scrolled, 0);
    // Each small move at the edge takes the path further on.
    DragTo(bottom + QPoint(0, -1));
    const Texts texts = ListTexts();
    EXPECT_GT(std::find(texts.begin(), texts.end(), "item 2") - texts.begin() + 1, bottomRow);
    EXPECT_GT(scroll->value(), scrolled);

    // And back up along the top edge to the first row.
    for (int i = 0; i < 60 && form->ListItemText(1) != "item 2"; ++i) DragTo(QPoint(10, 2 + i % 2));
    EXPECT_EQ(scroll->value(), 0);
    std::swap(items[0], items[1]);
    EXPECT_EQ(ListTexts(), items);  // the rows passed over kept their order
    Release(QPoint(10, 2));
}

TEST_F(FileList, DragPointerWhilePressedArrowAfterwards) {
    Fill("ab");
    form->PushButton1_MouseMove();
    ASSERT_EQ(form->MousePointer(), Form1::PointerKind::Custom);
    Hover(RowCentre(2));  // the list takes back the buttons' pointer
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);

    Press(RowCentre(1));
    ASSERT_TRUE(form->DragPointer().has_value());
    EXPECT_EQ(Viewport()->cursor().shape(), form->DragPointer()->shape());
    EXPECT_TRUE(Viewport()->testAttribute(Qt::WA_SetCursor));
    Release(RowCentre(1));
    EXPECT_FALSE(Viewport()->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST(DragPointer, FromDragIcoBesideTheProgramTheMovePointerWithoutItNoneForABrokenOne) {
    TempTree program;
    EXPECT_EQ(LoadDragPointer(program.Root())->shape(), Qt::SizeVerCursor);  // no file
    const std::string ico = program.File("drag.ico", 0644, "not an icon");
    EXPECT_FALSE(LoadDragPointer(program.Root()).has_value());  // unreadable

    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    ASSERT_TRUE(icon.save(ico.c_str(), "ICO"));
    const QCursor pointer = LoadDragPointer(program.Root()).value();
    EXPECT_EQ(pointer.shape(), Qt::BitmapCursor);
    EXPECT_EQ(pointer.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(pointer.hotSpot(), QPoint(16, 16));
}

TEST(MoveListText, TableOfMoves) {
    const std::tuple<int, int, const char*> cases[] = {
        {0, 1, "bacd"}, {1, 0, "bacd"}, {0, 3, "bcda"}, {3, 0, "dabc"},
        {1, 2, "acbd"}, {2, 2, "abcd"}, {0, 4, "abcd"}, {-1, 0, "abcd"},
    };
    for (const auto& [from, to, expected] : cases) {
        QTreeWidget list;
        for (const char* text : {"a", "b", "c", "d"}) AppendListPath(list, text);
        MoveListText(list, from, to);
        QString letters;
        for (int i = 0; i < list.topLevelItemCount(); ++i) letters += list.topLevelItem(i)->text(0);
        EXPECT_EQ(letters.toStdString(), expected) << from << " -> " << to;
    }
}
