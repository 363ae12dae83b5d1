// "Start Reducing": the messages and their order, progress, output files of
// both kinds, failures per file, refusals, and closing in the middle.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "PictureLoader.h"
#include "cError.h"
#include "ucCanvas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>

namespace {

const std::string kRunLocation = "in Dotwane2021/08/31.Form1.PushButton2_Click ";

void WriteFile(const std::string& path, const QByteArray& bytes) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A small colourful 24-bit BMP.
void WriteSourceBmp(const std::string& path, int width = 24, int height = 16) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 10, y * 15, (x + y) * 5));
    ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP"));
}

std::vector<std::string> Texts(const std::vector<RecordedBox>& boxes) {
    std::vector<std::string> texts;
    for (const RecordedBox& box : boxes) texts.push_back(box.Text);
    return texts;
}

}  // namespace

class ReductionRun : public WindowFixture {
protected:
    QTemporaryDir in, out;
    std::vector<int> progress;

    void SetUp() override {
        WindowFixture::SetUp();
        form->Text1->setText(out.path() + "/");
        QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [this](int v) { progress.push_back(v); });
    }
    std::string In(const std::string& name) const { return in.filePath(QString::fromStdString(name)).toStdString(); }
    std::string Out(const std::string& name) const { return out.filePath(QString::fromStdString(name)).toStdString(); }
    QStringList OutputFiles() const { return QDir(out.path()).entryList(QDir::Files, QDir::Name); }
};

TEST_F(ReductionRun, EmptyListSaysSoAndTouchesNothing) {
    form->PushButton2_Click();
    ASSERT_EQ(dialogs.Boxes.size(), 1u);
    EXPECT_EQ(dialogs.Boxes[0].Text, "No files added.");
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Pixolune");
    EXPECT_EQ(dialogs.Boxes[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.Boxes[0].Icon, MsgIcon::None);
    EXPECT_FALSE(form->IsReducing());
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(ReductionRun, MissingFolderFileOrNothingIsRefused) {
    WriteSourceBmp(In("a.bmp"));
    form->AppendListItem(In("a.bmp"));
    for (const std::string& folder : {Out("missing") + "/", In("a.bmp"), std::string()}) {
        dialogs.Boxes.clear();
        form->Text1->setText(QString::fromStdString(folder));
        form->PushButton2_Click();
        EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Folder does not exist. Please select another folder."}))
            << folder;
        EXPECT_FALSE(form->IsReducing());
    }
    EXPECT_TRUE(OutputFiles().isEmpty());
    EXPECT_TRUE(progress.empty());
}

TEST_F(ReductionRun, GoodMissingAndUnreadableFilesInOneRun) {
    WriteSourceBmp(In("good.bmp"), 40, 30);
    WriteFile(In("garbage.bmp"), QByteArray("this is not a picture at all, just some bytes\x01\x02\x03", 49));
    form->AppendListItem(In("good.bmp"));
    form->AppendListItem(In("gone.bmp"));
    form->AppendListItem(In("garbage.bmp"));

    std::string loaderDescription;
    try {
        LoadPicture(In("garbage.bmp"));
        FAIL() << "the loader read garbage";
    } catch (const cError& e) {
        loaderDescription = e.Description();
    }

    form->PushButton2_Click();

    ASSERT_EQ(dialogs.Boxes.size(), 3u) << ::testing::PrintToString(Texts(dialogs.Boxes));
    EXPECT_EQ(dialogs.Boxes[0].Text, "Unexpected error loading image.." + In("gone.bmp"));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Pixolune");
    EXPECT_EQ(dialogs.Boxes[0].Icon, MsgIcon::None);
    EXPECT_EQ(dialogs.Boxes[0].Buttons, MsgButtons::OK);
    EXPECT_EQ(dialogs.Boxes[1].Text,
              loaderDescription + "\r\n" + kRunLocation + "at line 142\r\r"
              "Please email screenshot of this message to support@pixolune.example");
    EXPECT_EQ(dialogs.Boxes[1].Caption, "Application Error");
    EXPECT_EQ(dialogs.Boxes[1].Icon, MsgIcon::Exclamation);
    EXPECT_EQ(dialogs.Boxes[2].Text, "Done.");

    EXPECT_EQ(OutputFiles(), QStringList{"good-reduced.bmp"});
    const QByteArray bmp = ReadFile(Out("good-reduced.bmp"));
    ASSERT_GE(bmp.size(), 54);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(static_cast<uint8_t>(bmp[28]), 8);  // biBitCount

    EXPECT_EQ(progress, (std::vector<int>{33, 67, 100, 0}));
    EXPECT_EQ(form->ProgressBar1->text(), "Progress Bar");
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    EXPECT_FALSE(form->IsReducing());
    EXPECT_FALSE(form->ListLocked());

    // The canvases keep the last images they held: the good file and its result.
    EXPECT_EQ(form->ucCanvasSrc->DIB->Width(), 40);
    EXPECT_EQ(form->ucCanvasSrc->DIB->BPP(), 32);
    EXPECT_EQ(form->ucCanvasTrg->DIB->Width(), 40);
    EXPECT_EQ(form->ucCanvasTrg->DIB->BPP(), 8);
}

TEST_F(ReductionRun, DoneEvenWhenEveryFileFailed) {
    form->AppendListItem(In("one.bmp"));
    form->AppendListItem(In("two.bmp"));
    form->PushButton2_Click();
    EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Unexpected error loading image.." + In("one.bmp"),
                                                              "Unexpected error loading image.." + In("two.bmp"),
                                                              "Done."}));
    EXPECT_EQ(progress, (std::vector<int>{50, 100, 0}));
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(ReductionRun, JpgOutputNeverTouchesTheBmpOfTheSameName) {
    WriteSourceBmp(In("photo.bmp"), 64, 48);
    WriteFile(Out("photo-reduced.bmp"), "an earlier BMP result");
    const QDateTime before = QFileInfo(QString::fromStdString(Out("photo-reduced.bmp"))).lastModified();
    form->Option2->click();
    form->Slider2->setValue(70);
    form->AppendListItem(In("photo.bmp"));

    form->PushButton2_Click();

    EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Done."}));
    const QByteArray jpg = ReadFile(Out("photo-reduced.jpg"));
    ASSERT_GE(jpg.size(), 4);
    EXPECT_EQ(static_cast<uint8_t>(jpg[0]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(jpg[1]), 0xD8);
    const QImage decoded(QString::fromStdString(Out("photo-reduced.jpg")));
    EXPECT_EQ(decoded.size(), QSize(64, 48));
    EXPECT_EQ(ReadFile(Out("photo-reduced.bmp")), "an earlier BMP result");
    EXPECT_EQ(QFileInfo(QString::fromStdString(Out("photo-reduced.bmp"))).lastModified(), before);
    EXPECT_EQ(OutputFiles(), (QStringList{"photo-reduced.bmp", "photo-reduced.jpg"}));
}

TEST_F(ReductionRun, JpgRunCreatesNoBmp) {
    WriteSourceBmp(In("a.b.c.bmp"));
    form->Option2->click();
    form->AppendListItem(In("a.b.c.bmp"));
    form->PushButton2_Click();
    EXPECT_EQ(OutputFiles(), QStringList{"a.b.c-reduced.jpg"});
}

TEST_F(ReductionRun, FailedJpegEncodingIsReportedAsStep170AndTheRunGoesOn) {
    WriteSourceBmp(In("first.bmp"));
    WriteSourceBmp(In("second.bmp"));
    ASSERT_TRUE(QDir(out.path()).mkdir("first-reduced.jpg"));  // a folder where the file should go
    form->Option2->click();
    form->AppendListItem(In("first.bmp"));
    form->AppendListItem(In("second.bmp"));

    form->PushButton2_Click();

    ASSERT_EQ(dialogs.Boxes.size(), 2u) << ::testing::PrintToString(Texts(dialogs.Boxes));
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Application Error");
    const std::string tail = "\r\n" + kRunLocation + "at line 170\r\r"
                             "Please email screenshot of this message to support@pixolune.example";
    ASSERT_GT(dialogs.Boxes[0].Text.size(), tail.size());
    EXPECT_EQ(dialogs.Boxes[0].Text.substr(dialogs.Boxes[0].Text.size() - tail.size()), tail);
    EXPECT_EQ(dialogs.Boxes[1].Text, "Done.");
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(Out("second-reduced.jpg"))));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Out("first-reduced.bmp"))));
}

TEST_F(ReductionRun, BmpOutputReplacesAnEarlierFileAndIgnoresTheQuality) {
    WriteSourceBmp(In("PHOTO.BMP"));
    WriteFile(Out("PHOTO-reduced.bmp"), "old");
    form->Slider2->setValue(5);
    form->AppendListItem(In("PHOTO.BMP"));
    form->PushButton2_Click();
    EXPECT_EQ(OutputFiles(), QStringList{"PHOTO-reduced.bmp"});
    EXPECT_EQ(ReadFile(Out("PHOTO-reduced.bmp")).left(2), "BM");
}

TEST_F(ReductionRun, FolderWithoutTrailingSeparatorAndNameWithoutDot) {
    WriteSourceBmp(In("README"));
    form->Text1->setText(out.path());
    form->AppendListItem(In("README"));
    form->PushButton2_Click();
    EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Done."}));
    EXPECT_EQ(OutputFiles(), QStringList{"README-reduced.bmp"});
}

TEST_F(ReductionRun, SecondClickDuringARunIsIgnoredAndTheListIsLocked) {
    WriteSourceBmp(In("b.bmp"));
    form->AppendListItem(In("gone.bmp"));
    form->AppendListItem(In("b.bmp"));
    bool lockedDuringRun = false, busyDuringRun = false;
    dialogs.OnBox = [&](const RecordedBox& box) {
        if (box.Text == "Done.") return;
        lockedDuringRun = form->ListLocked();
        busyDuringRun = form->IsBusy();
        form->PushButton2_Click();  // nested click while the run waits for the box
    };
    form->PushButton2_Click();
    EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Unexpected error loading image.." + In("gone.bmp"), "Done."}));
    EXPECT_TRUE(lockedDuringRun);
    EXPECT_TRUE(busyDuringRun);
    EXPECT_EQ(progress, (std::vector<int>{50, 100, 0}));
    EXPECT_EQ(OutputFiles(), QStringList{"b-reduced.bmp"});
    EXPECT_FALSE(form->ListLocked());
}

TEST_F(ReductionRun, AddingDuringARunIsAllowedButTheBoundIsReadOnce) {
    form->AppendListItem(In("one.bmp"));
    form->AppendListItem(In("two.bmp"));
    dialogs.OnBox = [&](const RecordedBox& box) {
        if (box.Text.find("one.bmp") != std::string::npos) form->AppendListItem(In("three.bmp"));
    };
    form->PushButton2_Click();
    EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Unexpected error loading image.." + In("one.bmp"),
                                                              "Unexpected error loading image.." + In("two.bmp"),
                                                              "Done."}));
    EXPECT_EQ(progress, (std::vector<int>{50, 67, 0}));  // 2 of 3 items by then
    EXPECT_EQ(form->ListItemCount(), 3);
}

TEST_F(ReductionRun, ClosingTheWindowStopsTheRunWithoutDone) {
    WriteSourceBmp(In("late.bmp"));
    form->show();
    form->AppendListItem(In("gone.bmp"));
    form->AppendListItem(In("late.bmp"));
    dialogs.OnBox = [&](const RecordedBox&) { form->close(); };
    form->PushButton2_Click();
    EXPECT_EQ(Texts(dialogs.Boxes), (std::vector<std::string>{"Unexpected error loading image.." + In("gone.bmp")}));
    EXPECT_TRUE(OutputFiles().isEmpty());
    EXPECT_EQ(form->ucCanvasSrc->DIB, nullptr);
    EXPECT_FALSE(form->IsReducing());
}

TEST_F(ReductionRun, TargetCanvasFollowsTheSourceScrollPosition) {
    WriteSourceBmp(In("big.bmp"), 300, 200);  // larger than the 112 x 97 canvases
    form->AppendListItem(In("big.bmp"));
    form->PushButton2_Click();
    int32_t sx = 0, sy = 0, tx = 0, ty = 0;
    form->ucCanvasSrc->GetScrollPos(sx, sy);
    form->ucCanvasTrg->GetScrollPos(tx, ty);
    EXPECT_EQ(sx, 94);  // centred: (300 - 112) \ 2
    EXPECT_EQ(sy, 51);
    EXPECT_EQ(tx, sx);
    EXPECT_EQ(ty, sy);
    EXPECT_EQ(form->ucCanvasTrg->ScrollMaxX(), 188);
}
