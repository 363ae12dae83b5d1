// The file list: adding through the open dialog, removing, clearing, the
// hover hint, and reordering by dragging a path along the list.

#include "ErrorReport.h"
#include "FileList.h"
#include "ListTestSupport.h"
#include "QtDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>

using FileList = ListFixture;

// --- "Add BMP File(s)" ---

TEST_F(FileList, OpenDialogTitleAndFilter) {
    form->PushButton1->click();
    ASSERT_EQ(dialogs.OpenFilesTitles.size(), 1u);
    EXPECT_EQ(dialogs.OpenFilesTitles[0], "Add File(s) - Hold Ctrl or Shift to select multiple files");
    EXPECT_EQ(dialogs.OpenFilesFilters[0], "BMP Files (*.bmp;*.bmp) (*.bmp *.bmp)");
    EXPECT_TRUE(Texts().empty());  // cancelled: nothing appended, nothing said
    EXPECT_TRUE(dialogs.Boxes.empty());
}

// Qt shows the label without the pattern part and filters by the patterns.
TEST_F(FileList, TheRealDialogShowsTheLabelAndAppliesThePattern) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    ConfigureOpenFilesDialog(dialog, "Add File(s) - Hold Ctrl or Shift to select multiple files",
                             "BMP Files (*.bmp;*.bmp) (*.bmp *.bmp)");
    EXPECT_EQ(dialog.windowTitle(), "Add File(s) - Hold Ctrl or Shift to select multiple files");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 1);
    EXPECT_EQ(types->itemText(0), "BMP Files (*.bmp;*.bmp)");
    const auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), (QStringList{"*.bmp", "*.bmp"}));
}

TEST_F(FileList, OneChosenFileIsAppendedAsGiven) {
    dialogs.OpenFilesAnswer = {"/tmp//one.bmp"};
    form->PushButton1_Click();
    form->PushButton1_Click();  // chosen again: listed twice
    EXPECT_EQ(Texts(), (std::vector<std::string>{"/tmp//one.bmp", "/tmp//one.bmp"}));
}

TEST_F(FileList, SeveralChosenFilesAreNormalisedInDialogOrder) {
    Fill({"/first.bmp"});
    dialogs.OpenFilesAnswer = {"//b.bmp", "//a.bmp", "/in//c.bmp"};
    form->PushButton1_Click();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"/first.bmp", "/b.bmp", "/a.bmp", "/in/c.bmp"}));
    EXPECT_TRUE(dialogs.Boxes.empty());
}

// --- removing and clearing ---

TEST_F(FileList, DoubleClickAndDeleteRemoveOnlyTheSelectedItem) {
    Fill({"a", "b", "c", "d"});
    DoubleClick(RowCentre(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "c", "d"}));

    Select(3);
    List().setFocus();
    Key(Qt::Key_Backspace);  // not the Delete key
    Key(Qt::Key_Escape);
    EXPECT_EQ(Texts().size(), 3u);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "c"}));
}

TEST_F(FileList, RemovingWithoutSelectionOrItemsDoesNothing) {
    form->ListView1_DblClick();
    form->ListView1_KeyDown(Qt::Key_Delete);
    form->PushButton7_Click();
    EXPECT_TRUE(Texts().empty());

    Fill({"a", "b"});
    List().clearSelection();
    form->ListView1_DblClick();
    form->ListView1_KeyDown(Qt::Key_Delete);
    EXPECT_EQ(Texts().size(), 2u);
    EXPECT_TRUE(dialogs.Boxes.empty());
}

TEST_F(FileList, ClearListEmptiesTheList) {
    Fill({"a", "b", "a"});
    form->PushButton7->click();
    EXPECT_TRUE(Texts().empty());
}

TEST_F(FileList, NothingIsRemovedWhileBusy) {
    Fill({"a", "b"});
    Select(1);
    form->SetMousePointer(Form1::PointerKind::Hourglass);
    form->ListView1_DblClick();
    form->ListView1_KeyDown(Qt::Key_Delete);
    form->PushButton7_Click();
    EXPECT_EQ(Texts().size(), 2u);

    form->SetMousePointer(Form1::PointerKind::Default);
    form->ListView1_KeyDown(Qt::Key_Delete);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b"}));
}

TEST_F(FileList, NothingIsRemovedDuringARun) {
    Fill({"/no/such/a.bmp", "/no/such/b.bmp"});
    form->Text1->setText("/no/such/folder/");
    std::vector<std::string> duringRun;
    dialogs.OnBox = [&](const RecordedBox&) {  // the run's "Folder does not exist" box
        ASSERT_TRUE(form->IsReducing());
        Select(1);
        form->ListView1_DblClick();
        form->ListView1_KeyDown(Qt::Key_Delete);
        form->PushButton7_Click();
        duringRun = Texts();
    };
    form->PushButton2_Click();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(duringRun.size(), 2u);
    form->PushButton7_Click();
    EXPECT_TRUE(Texts().empty());
}

TEST_F(FileList, HoverHint) {
    EXPECT_EQ(List().toolTip(), "Drag and drop files here. Double-click item to remove it. Move | line to right "
                                "and out of window to reveal full names.");
}

// --- reordering ---

TEST_F(FileList, DraggedPathExchangesWithTheNextRow) {
    Fill({"w", "x", "A", "B", "z"});
    Press(RowCentre(3));
    EXPECT_EQ(SelectedRow(), 3);  // the press selects, before any move
    DragTo(RowCentre(3) + QPoint(0, 2));  // still on its own row
    EXPECT_EQ(Texts(), (std::vector<std::string>{"w", "x", "A", "B", "z"}));
    DragTo(RowCentre(4));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"w", "x", "B", "A", "z"}));
    EXPECT_EQ(SelectedRow(), 4);
    Release(RowCentre(4));
    EXPECT_EQ(List().topLevelItemCount(), 5);
}

TEST_F(FileList, ThePathTravelsAndTheRowsPassedMoveBack) {
    Fill({"a", "b", "c", "d", "e"});
    Press(RowCentre(1));
    for (int row : {2, 3, 4}) DragTo(RowCentre(row));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "c", "d", "a", "e"}));
    DragTo(RowCentre(2));  // and back up
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "a", "c", "d", "e"}));
    EXPECT_EQ(SelectedRow(), 2);
    Release(RowCentre(2));
    DragTo(RowCentre(5));  // released: moving on changes nothing
    Hover(RowCentre(5));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "a", "c", "d", "e"}));
}

// A quick move that skips rows still moves the path, never swaps it with a far row.
TEST_F(FileList, AJumpOverSeveralRowsKeepsTheOrderOfTheOthers) {
    Fill({"a", "b", "c", "d"});
    Press(RowCentre(1));
    DragTo(RowCentre(4));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "c", "d", "a"}));
    DragTo(RowCentre(1));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b", "c", "d"}));
    Release(RowCentre(1));
}

TEST_F(FileList, EqualTextsNeverExchange) {
    Fill({"A", "A", "B"});
    Press(RowCentre(1));
    DragTo(RowCentre(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", "A", "B"}));
    EXPECT_EQ(SelectedRow(), 1);
    DragTo(RowCentre(3));  // the first A travels on
    EXPECT_EQ(Texts(), (std::vector<std::string>{"A", "B", "A"}));
    EXPECT_EQ(SelectedRow(), 3);
    Release(RowCentre(3));
}

TEST_F(FileList, APressBesideTheItemsMovesNothing) {
    Fill({"a", "b", "c"});
    Press(RowCentre(1));
    DragTo(RowCentre(2));
    Release(RowCentre(2));
    const QPoint belowItems(10, Viewport()->height() - 3);
    Press(belowItems);  // empty space: the path dragged last stays put
    DragTo(RowCentre(3));
    DragTo(RowCentre(1));
    Release(RowCentre(1));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "a", "c"}));
}

TEST_F(FileList, DraggingWorksAnywhereAlongTheRow) {
    Fill({"a", "b"});
    const QPoint right(Viewport()->width() - 2, RowCentre(1).y());  // beyond the column
    Press(right);
    DragTo(QPoint(right.x(), RowCentre(2).y()));
    Release(RowCentre(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "a"}));
}

TEST_F(FileList, NoReorderingWhileBusy) {
    Fill({"a", "b"});
    form->SetMousePointer(Form1::PointerKind::Hourglass);
    Press(RowCentre(1));
    DragTo(RowCentre(2));
    Release(RowCentre(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Hourglass);
}

TEST_F(FileList, RemovingTheDraggedItemMidwayIsHarmless) {
    Fill({"a", "b", "c"});
    Press(RowCentre(1));
    Key(Qt::Key_Delete);  // the selected, dragged item goes
    DragTo(RowCentre(2));
    Release(RowCentre(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"b", "c"}));
}

TEST_F(FileList, TheListScrollsAsThePathNearsItsEdges) {
    for (int i = 1; i <= 40; ++i) form->AppendListItem("item " + std::to_string(i));
    QApplication::processEvents();
    QScrollBar* scroll = List().verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 0);
    Press(RowCentre(2));
    // Down to the row at the bottom edge: the row after it comes into view.
    const QPoint bottom(10, Viewport()->height() - 2);
    QTreeWidgetItem* bottomItem = List().itemAt(bottom);
    ASSERT_NE(bottomItem, nullptr);
    const int bottomRow = List().indexOfTopLevelItem(bottomItem) + 1;
    DragTo(bottom);
    EXPECT_EQ(form->ListItemText(bottomRow), "item 2");
    EXPECT_GT(scroll->value(), 0);
    const int scrolled = scroll->value();
    // Each small move at the edge takes the path further on.
    DragTo(bottom + QPoint(0, -1));
    const std::vector<std::string> texts = Texts();
    const auto at = std::find(texts.begin(), texts.end(), "item 2");
    EXPECT_GT(at - texts.begin() + 1, bottomRow);
    EXPECT_GT(scroll->value(), scrolled);

    // And back up along the top edge to the first row.
    const QPoint top(10, 2);
    for (int i = 0; i < 60 && form->ListItemText(1) != "item 2"; ++i) DragTo(top + QPoint(0, i % 2));
    EXPECT_EQ(scroll->value(), 0);
    EXPECT_EQ(form->ListItemText(1), "item 2");
    std::vector<std::string> expected{"item 2", "item 1"};
    for (int i = 3; i <= 40; ++i) expected.push_back("item " + std::to_string(i));
    EXPECT_EQ(Texts(), expected);  // the rows passed over kept their order
    Release(top);
}

TEST_F(FileList, RowsInTheMiddleScrollNothing) {
    for (int i = 1; i <= 40; ++i) form->AppendListItem("item " + std::to_string(i));
    QApplication::processEvents();
    Press(RowCentre(2));
    DragTo(RowCentre(3));
    DragTo(RowCentre(4));
    Release(RowCentre(4));
    EXPECT_EQ(List().verticalScrollBar()->value(), 0);
    EXPECT_EQ(form->ListItemText(4), "item 2");
}

// --- pointers ---

TEST_F(FileList, DragPointerWhilePressedArrowAfterwards) {
    Fill({"a", "b"});
    form->PushButton1_MouseMove();
    ASSERT_EQ(form->MousePointer(), Form1::PointerKind::Custom);
    Hover(RowCentre(2));  // the list takes back the buttons' pointer
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);

    Press(RowCentre(1));
    EXPECT_EQ(Viewport()->cursor().shape(), form->DragPointer().shape());
    EXPECT_TRUE(Viewport()->testAttribute(Qt::WA_SetCursor));
    Release(RowCentre(1));
    EXPECT_FALSE(Viewport()->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FileList, TheHourglassStaysOverTheList) {
    form->SetMousePointer(Form1::PointerKind::Hourglass);
    Hover(QPoint(5, 5));
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Hourglass);
    EXPECT_EQ(Viewport()->cursor().shape(), Qt::WaitCursor);
}

TEST(DragPointer, FromDragIcoBesideTheProgramElseTheMovePointer) {
    QTemporaryDir folder;
    const std::string programFolder = folder.path().toStdString();
    EXPECT_EQ(LoadDragPointer(programFolder).shape(), Qt::SizeVerCursor);  // no file

    QFile garbage(folder.filePath("drag.ico"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not an icon");
    garbage.close();
    EXPECT_EQ(LoadDragPointer(programFolder).shape(), Qt::SizeVerCursor);  // unreadable

    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::red);
    ASSERT_TRUE(icon.save(folder.filePath("drag.ico"), "ICO"));
    const QCursor pointer = LoadDragPointer(programFolder);
    EXPECT_EQ(pointer.shape(), Qt::BitmapCursor);
    EXPECT_EQ(pointer.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(pointer.hotSpot(), QPoint(16, 16));
}

// --- the text move underneath ---

TEST(MoveListText, TableOfMoves) {
    struct Case {
        int from, to;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {0, 1, {"b", "a", "c", "d"}}, {1, 0, {"b", "a", "c", "d"}}, {0, 3, {"b", "c", "d", "a"}},
        {3, 0, {"d", "a", "b", "c"}}, {1, 2, {"a", "c", "b", "d"}}, {2, 2, {"a", "b", "c", "d"}},
        {0, 4, {"a", "b", "c", "d"}}, {-1, 0, {"a", "b", "c", "d"}},
    };
    for (const Case& c : cases) {
        QTreeWidget list;
        for (const char* text : {"a", "b", "c", "d"}) AppendListPath(list, text);
        MoveListText(list, c.from, c.to);
        std::vector<std::string> texts;
        for (int i = 0; i < list.topLevelItemCount(); ++i) texts.push_back(list.topLevelItem(i)->text(0).toStdString());
        EXPECT_EQ(texts, c.expected) << c.from << " -> " << c.to;
    }
}
