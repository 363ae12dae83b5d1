#pragma once
// Form1: the program's one window. The file list with its buttons, the output
// options (BMP or JPG with a quality), the output folder, "Start Reducing" and
// a progress bar. Two canvases below the visible area hold the source image
// and the reduced result of the run; the JPEG is encoded from the result in
// memory.
//
// The window's code is split by job:
//   Form1Layout.cpp      building the controls at their designed places
//   Form1Events.cpp      wiring: the controls' signals, mouse moves and the
//                        list's mouse, key and drop events to the handlers
//   Form1StartClose.cpp  start-up (Form_Load) and closing
//   Form1Options.cpp     the output options, the quality and the output folder
//   Form1Pointer.cpp     the mouse pointer and its handlers
//   Form1Run.cpp         the reduction run ("Start Reducing"); RunOutputs.cpp
//                        keeps one file of a run from replacing another's output
//   Form1List.cpp        the file list: appending, removing, clearing
//   Form1AddFiles.cpp    "Add BMP File(s)" and dropping files and folders
//   Form1DragReorder.cpp reordering the list by dragging a path
//   FolderImport.cpp     "Add All BMP File(s) In Folder"
//   SampleFiles.cpp      "Load Sample/Example Files"

#include "ReduceJob.h"
#include "VendorControls.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDragMoveEvent;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;
class cDialogs;
class cRunOutputs;
class cStepGuard;
class ucCanvas;

class Form1 : public QWidget {
    Q_OBJECT

public:
    // Every dialog and shell action goes through dialogs, which must outlive the window.
    explicit Form1(cDialogs& dialogs, QWidget* parent = nullptr);
    ~Form1() override;

    // The controls, named as designed.
    QTreeWidget* ListView1 = nullptr;
    PushButton* PushButton1 = nullptr;  // "Add BMP File(s)"
    PushButton* PushButton3 = nullptr;  // "Add All BMP File(s) In Folder"
    PushButton* PushButton7 = nullptr;  // "Clear List"
    PushButton* PushButton8 = nullptr;  // "Load Sample/Example Files"
    QGroupBox* Frame2 = nullptr;        // "Save Output Files As"
    QRadioButton* Option1 = nullptr;    // "BMP"
    QRadioButton* Option2 = nullptr;    // "JPG"
    QGroupBox* Frame4 = nullptr;        // "JPG quality: " + value + "%"
    QSlider* Slider2 = nullptr;
    QGroupBox* Frame1 = nullptr;        // "Save Image(s) To This Folder"
    QLineEdit* Text1 = nullptr;         // output folder
    PushButton* PushButton4 = nullptr;  // "..."
    PushButton* PushButton2 = nullptr;  // "Start Reducing"
    ProgressBar* ProgressBar1 = nullptr;
    ucCanvas* ucCanvasSrc = nullptr;  // source image of the run
    ucCanvas* ucCanvasTrg = nullptr;  // reduced image of the run
    cSkinFramework SkinFramework1;

    // Draws the one-in-a-hundred number of start-up (1..100); replaceable by tests.
    std::function<int32_t()> RandomPercent;
    // The program's folder, where the optional files (the skin, HAND-M.CUR,
    // drag.ico, Samples) are looked for (DataFilePath); tests point it elsewhere.
    std::string ProgramPath;

    // The window's mouse pointer: the default, the hourglass of a run, or the
    // custom pointer the buttons show.
    enum class PointerKind { Default = 0, Hourglass = 11, Custom = 99 };
    PointerKind MousePointer() const { return pointer_; }
    void SetMousePointer(PointerKind pointer);
    // The custom pointer's image, when HAND-M.CUR could be loaded.
    const std::optional<QCursor>& MouseIcon() const { return mouseIcon_; }
    // Busy while the hourglass is shown.
    bool IsBusy() const { return pointer_ == PointerKind::Hourglass; }

    // The file list. Items are read by index during a run, so removing,
    // clearing and reordering must wait while ListLocked(); adding is allowed.
    bool ListLocked() const { return bReducing_ || IsBusy(); }
    void AppendListItem(const std::string& path);
    int32_t ListItemCount() const;
    std::string ListItemText(int32_t index) const;  // 1-based; raises a subscript error outside

    // Filling and emptying the list.
    void PushButton1_Click();  // "Add BMP File(s)"
    void PushButton3_Click();  // "Add All BMP File(s) In Folder"
    void PushButton7_Click();  // "Clear List"
    void PushButton8_Click();  // "Load Sample/Example Files"
    // Accepts drags that carry local files, refuses every other drag.
    void ListView1_OLEDragOver(QDragMoveEvent& event);
    // Appends dropped files as given and every file of dropped folder trees.
    void ListView1_OLEDragDrop(const std::vector<std::string>& paths);
    void ListView1_DblClick();
    void ListView1_KeyDown(int keyCode);  // a Qt::Key; Delete removes the selected item

    // Reordering by dragging a path along the list (plain mouse events, not
    // drag and drop). Positions are in the list's viewport.
    void ListView1_MouseDown();
    void ListView1_ItemClick(QTreeWidgetItem* item);
    void ListView1_MouseMove(const QPoint& position);
    void ListView1_MouseUp();
    // The pointer the list shows while a path is dragged (LoadDragPointer);
    // none when drag.ico is there but cannot be read: the list keeps its own.
    std::optional<QCursor> DragPointer() const;

    bool IsReducing() const { return bReducing_; }
    // True once the window has closed; a run in progress stops at its next step.
    bool IsUnloaded() const { return bUnloaded_; }

    // Start-up and closing.
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();

    // Options and the output folder.
    void Option1_Click();
    void Option2_Click();
    void Slider2_Change();
    void Text1_Change();
    void PushButton4_Click();

    // The reduction run and the window's part of its three stages (the road
    // of ReduceJob.h); each returns "" or a message.
    void PushButton2_Click();
    std::string loadBMPImage(const StageWork& load);
    std::string reduceImageSize(const StageWork& convert);
    std::string saveBMPImage(const StageWork& write);

    // Pointer handlers: buttons show the custom pointer, the rest the default.
    void Form_MouseMove();
    void Frame1_MouseMove();
    void Frame2_MouseMove();
    void Frame4_MouseMove();
    void Text1_MouseMove();
    void PushButton1_MouseMove();
    void PushButton2_MouseMove();
    void PushButton3_MouseMove();
    void PushButton4_MouseMove();
    void PushButton7_MouseMove();
    void PushButton8_MouseMove();

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectHandlers();
    void UpdateQualityFrame();
    void LoadCustomPointer(const std::string& cursorFile);  // raises when it cannot be read
    void ShowDefaultPointer();
    void ShowCustomPointer();
    void ReduceListItem(cStepGuard& guard, cRunOutputs& outputs, int32_t i);
    // The output type the options choose; none when neither is selected.
    std::optional<OutputType> ChosenOutputType() const;
    std::string OutputPathFor(OutputType type, const std::string& baseName) const;
    void ConnectListHandlers();
    void RemoveSelectedListItem();
    void AppendFolderFiles(const std::string& folder, const std::string& pattern);
    void ScrollNearListEdge(int32_t target, int y);
    std::string OutputFolder() const;

    cDialogs& dialogs_;
    bool bReducing_ = false;
    bool bUnloaded_ = false;
    PointerKind pointer_ = PointerKind::Default;
    std::optional<QCursor> mouseIcon_;

    // Drag reordering: armed by a press on an item, ended by the release.
    bool dragActive_ = false;
    QPersistentModelIndex movedItem_;  // the item whose text travels with the pointer
    // Forwards the list's events to the handlers; ends with the window's own
    // part, before the widgets below it send their last events.
    QObject* listEvents_ = nullptr;
};

// "JPG quality: " + value + "%".
QString QualityCaption(int32_t value);
