// "Start Reducing": the messages and their order, progress, output files of
// both kinds, failures per file, refusals, and closing in the middle.

#include "AppTestSupport.h"
#include "ErrorReport.h"
#include "PictureLoader.h"
#include "StoredForms.h"
#include "cError.h"
#include "ucCanvas.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

class ReductionRun : public WindowFixture {
protected:
    TempTree out;
    std::vector<int> progress;

    void SetUp() override {
        WindowFixture::SetUp();
        form->Text1->setText((out.Root() + "/").c_str());
        QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged,
                         [this](int value) { progress.push_back(value); });
    }
    // Lists a small colourful 24-bit BMP made in the scratch folder.
    std::string Add(const std::string& name, int width = 24, int height = 16) {
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 10, y * 15, (x + y) * 5));
        EXPECT_TRUE(image.save(tree.Path(name).c_str(), "BMP"));
        AddMissing(name);
        return tree.Path(name);
    }
    void AddMissing(const std::string& name) { form->AppendListItem(tree.Path(name)); }
    std::string LoadFailure(const std::string& name) const {
        return "Unexpected error loading image.." + tree.Path(name);
    }
    QStringList OutputFiles() const {
        return QDir(out.Root().c_str()).entryList(QDir::Files, QDir::Name);
    }
    QByteArray Output(const std::string& name) const {
        QFile file(out.Path(name).c_str());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(ReductionRun, AnEmptyListOrAMissingFolderIsRefusedAndTouchesNothing) {
    form->PushButton2_Click();
    EXPECT_EQ(dialogs.Boxes, (std::vector<RecordedBox>{{"No files added.", "Pixolune"}}));
    EXPECT_FALSE(form->IsReducing());
    const std::string source = Add("a.bmp");
    for (const std::string& folder : {out.Path("missing/"), source, std::string()}) {
        dialogs.Boxes.clear();
        form->Text1->setText(folder.c_str());
        form->PushButton2_Click();
        EXPECT_EQ(dialogs.BoxTexts(), Texts{"Folder does not exist. Please select another folder."})
            << folder;
        EXPECT_FALSE(form->IsReducing());
    }
    EXPECT_TRUE(OutputFiles().isEmpty());
    EXPECT_TRUE(progress.empty());
}

TEST_F(ReductionRun, GoodMissingAndUnreadableFilesInOneRun) {
    Add("good.bmp", 300, 200);  // larger than the 112 x 97 canvases
    AddMissing("gone.bmp");
    form->AppendListItem(tree.File("garbage.bmp", 0644, "this is not a picture at all\x01\x02"));
    std::string loaderSays;
    try {
        LoadPicture(tree.Path("garbage.bmp"));
    } catch (const cError& e) {
        loaderSays = e.Description();
    }
    ASSERT_FALSE(loaderSays.empty());

    form->PushButton2_Click();

    const RecordedBox unreadable{
        loaderSays +
            "\r\nin Dotwane2021/08/31.Form1.PushButton2_Click at line 142\r\r"
            "Please email screenshot of this message to support@pixolune.example",
        "Application Error", MsgButtons::OK, MsgIcon::Exclamation};
    EXPECT_EQ(dialogs.Boxes,
              (std::vector<RecordedBox>{
                  {LoadFailure("gone.bmp"), "Pixolune"}, unreadable, {"Done.", "Pixolune"}}));
    EXPECT_EQ(OutputFiles(), QStringList{"good-reduced.bmp"});
    const QByteArray bmp = Output("good-reduced.bmp");
    ASSERT_GE(bmp.size(), 54);
    EXPECT_TRUE(bmp.startsWith("BM"));
    EXPECT_EQ(bmp[28], 8);  // biBitCount

    EXPECT_EQ(progress, (std::vector<int>{33, 67, 100, 0}));
    EXPECT_EQ(form->ProgressBar1->text(), "Progress Bar");
    EXPECT_EQ(form->MousePointer(), Form1::PointerKind::Default);
    EXPECT_FALSE(form->IsReducing() || form->ListLocked());
    // The canvases keep the last images they held, the result at the source's scroll position.
    EXPECT_EQ(form->ucCanvasSrc->DIB->BPP(), 32);
    EXPECT_EQ(form->ucCanvasTrg->DIB->BPP(), 8);
    EXPECT_EQ(form->ucCanvasTrg->DIB->Width(), 300);
    EXPECT_EQ(form->ucCanvasTrg->ScrollMaxX(), 188);
    int32_t sx = 0, sy = 0, tx = 0, ty = 0;
    form->ucCanvasSrc->GetScrollPos(sx, sy);
    form->ucCanvasTrg->GetScrollPos(tx, ty);
    EXPECT_EQ(std::pair(sx, sy), std::pair(94, 51));  // centred: (300 - 112) \ 2
    EXPECT_EQ(std::pair(tx, ty), std::pair(sx, sy));
}

TEST_F(ReductionRun, BmpOutputReplacesEarlierFilesIgnoresTheQualityAndNamesDotlessFiles) {
    Add("PHOTO.BMP");
    Add("README");
    out.File("PHOTO-reduced.bmp", 0644, "old");
    form->Slider2->setValue(5);
    form->Text1->setText(out.Root().c_str());  // no trailing separator
    form->PushButton2_Click();
    EXPECT_EQ(dialogs.BoxTexts(), Texts{"Done."});
    EXPECT_EQ(OutputFiles(), (QStringList{"PHOTO-reduced.bmp", "README-reduced.bmp"}));
    EXPECT_TRUE(Output("PHOTO-reduced.bmp").startsWith("BM"));
}

TEST_F(ReductionRun, JpgOutputNeverTouchesABmpOfTheSameNameAFailedEncodingIsStep170) {
    Add("first.bmp");
    out.Folder("first-reduced.jpg");  // a folder where the file should go
    Add("photo.bmp", 64, 48);
    Add("a.b.c.bmp");
    const QFileInfo earlier(out.File("photo-reduced.bmp", 0644, "an earlier BMP result").c_str());
    const QDateTime before = earlier.lastModified();
    form->Option2->click();
    form->Slider2->setValue(70);
    form->PushButton2->click();

    ASSERT_EQ(dialogs.Boxes.size(), 2u) << ::testing::PrintToString(dialogs.BoxTexts());
    EXPECT_EQ(dialogs.Boxes[0].Caption, "Application Error");
    const std::string tail = ErrorBox("", "PushButton2_Click", 170).Text;  // after the description
    EXPECT_TRUE(dialogs.Boxes[0].Text.size() > tail.size() && dialogs.Boxes[0].Text.ends_with(tail))
        << dialogs.Boxes[0].Text;
    EXPECT_EQ(dialogs.Boxes[1].Text, "Done.");
    EXPECT_TRUE(Output("photo-reduced.jpg").startsWith("\xFF\xD8"));
    EXPECT_EQ(QImage(out.Path("photo-reduced.jpg").c_str()).size(), QSize(64, 48));
    EXPECT_EQ(Output("photo-reduced.bmp"), "an earlier BMP result");
    EXPECT_EQ(QFileInfo(earlier.filePath()).lastModified(), before);
    EXPECT_EQ(OutputFiles(),
              (QStringList{"a.b.c-reduced.jpg", "photo-reduced.bmp", "photo-reduced.jpg"}));
}

// Two folders holding the same file name: the first listed keeps the output
// (also when the output folder is spelled anew in between), the other gets one
// box naming both and nothing converted, and the rest of the list is. A file
// that failed writes nothing to keep; one listed again writes its own output
// again; outputs of earlier runs, also of the previous click, are replaced.
TEST_F(ReductionRun, NoFileReplacesAnOutputOfTheSameRun) {
    for (const char* folder : {"a", "b", "c"}) tree.Folder(folder);
    AddMissing("a/gone.bmp");
    const std::string first = Add("a/f.bmp", 24, 16);
    const std::string second = Add("b/f.bmp", 40, 30);
    Add("c/gone.bmp");
    form->AppendListItem(first);
    Add("c/other.bmp");
    out.File("other-reduced.bmp", 0644, "an earlier run's");
    QObject::connect(form->ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        if (value == 50) form->Text1->setText(out.Root().c_str());  // b/f.bmp is next
    });
    const std::vector<RecordedBox> expected{
        {LoadFailure("a/gone.bmp"), "Pixolune"},
        {"Not converted: " + second + "\r\n" + out.Root() + "/f-reduced.bmp is already the " +
             "output of " + first + " in this run (rename one of them).",
         "Pixolune"},
        {"Done.", "Pixolune"}};
    for (int click = 1; click <= 2; ++click) {
        form->PushButton2_Click();
        EXPECT_EQ(dialogs.Boxes, expected) << "click " << click;
        EXPECT_EQ(OutputFiles(),
                  (QStringList{"f-reduced.bmp", "gone-reduced.bmp", "other-reduced.bmp"}));
        EXPECT_EQ(QImage(out.Path("f-reduced.bmp").c_str()).size(), QSize(24, 16));
        EXPECT_TRUE(Output("other-reduced.bmp").startsWith("BM"));
        dialogs.Boxes.clear();
        out.File("f-reduced.bmp", 0644, "the first click's");
    }
}

TEST_F(ReductionRun, SecondClickDuringARunIsIgnoredAndTheListIsLocked) {
    AddMissing("gone.bmp");
    Add("b.bmp");
    bool lockedDuringRun = false, busyDuringRun = false;
    dialogs.OnBox = [&](const RecordedBox& box) {
        if (box.Text == "Done.") return;
        lockedDuringRun = form->ListLocked();
        busyDuringRun = form->IsBusy();
        form->PushButton2_Click();  // nested click while the run waits for the box
    };
    form->PushButton2_Click();
    EXPECT_EQ(dialogs.BoxTexts(), (Texts{LoadFailure("gone.bmp"), "Done."}));
    EXPECT_TRUE(lockedDuringRun && busyDuringRun);
    EXPECT_EQ(progress, (std::vector<int>{50, 100, 0}));
    EXPECT_EQ(OutputFiles(), QStringList{"b-reduced.bmp"});
    EXPECT_FALSE(form->ListLocked());
}

TEST_F(ReductionRun, AddingDuringARunIsAllowedButTheBoundIsReadOnceDoneEvenIfAllFailed) {
    AddMissing("one.bmp");
    AddMissing("two.bmp");
    dialogs.OnBox = [&](const RecordedBox& box) {
        if (box.Text.ends_with("one.bmp")) Add("three.bmp");
    };
    form->PushButton2_Click();
    EXPECT_EQ(dialogs.BoxTexts(), (Texts{LoadFailure("one.bmp"), LoadFailure("two.bmp"), "Done."}));
    EXPECT_EQ(progress, (std::vector<int>{50, 67, 0}));  // 2 of 3 items by then
    EXPECT_EQ(form->ListItemCount(), 3);
    EXPECT_TRUE(OutputFiles().isEmpty());
}

TEST_F(ReductionRun, ClosingTheWindowStopsTheRunWithoutDoneAndReleasesTheImages) {
    AddMissing("gone.bmp");
    Add("late.bmp");
    dialogs.OnBox = [&](const RecordedBox&) { form->close(); };
    form->PushButton2_Click();
    EXPECT_EQ(dialogs.BoxTexts(), Texts{LoadFailure("gone.bmp")});
    EXPECT_TRUE(OutputFiles().isEmpty());
    EXPECT_EQ(form->ucCanvasSrc->DIB, nullptr);
    EXPECT_EQ(form->ucCanvasTrg->DIB, nullptr);
    EXPECT_TRUE(form->IsUnloaded());
    EXPECT_FALSE(form->IsReducing());
}

// Each file cut inside its pixel data, right after a complete picture of the same size and
// form: reported as an unreadable file is, nothing written for it, an earlier output of its
// name left as it was, and the run goes on.
TEST_F(ReductionRun, TruncatedFilesAreReportedLikeUnreadableOnesAndWriteNothing) {
    using namespace imagebytes;
    const std::vector<StoredForm> forms = StoredForms(67, 45, 1), others = StoredForms(67, 45, 2);
    std::vector<RecordedBox> expected;
    QStringList written{"cut0-reduced.bmp"};
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const std::string n = std::to_string(i), extension = "." + forms[i].Extension;
        const Bytes& whole = forms[i].File;
        const std::string other =
            tree.File("other" + n + extension, 0644,
                      std::string(others[i].File.begin(), others[i].File.end()));
        const std::string cut = tree.File("cut" + n + extension, 0644,
                                          std::string(whole.begin(), whole.begin() + forms[i].Cut));
        form->AppendListItem(other);
        form->AppendListItem(cut);
        written.push_back(QString::fromStdString("other" + n + "-reduced.bmp"));
        std::string loaderSays;
        try {
            LoadPicture(cut);
        } catch (const cError& e) {
            loaderSays = e.Description();
        }
        EXPECT_EQ(loaderSays.rfind("Invalid picture: " + cut, 0), 0u) << forms[i].Name;
        expected.push_back(ErrorBox(loaderSays, "PushButton2_Click", 142));
    }
    expected.push_back({"Done.", "Pixolune"});
    out.File("cut0-reduced.bmp", 0644, "an earlier result");

    form->PushButton2_Click();
    EXPECT_EQ(dialogs.Boxes, expected);
    written.sort();
    EXPECT_EQ(OutputFiles(), written);
    EXPECT_EQ(Output("cut0-reduced.bmp"), "an earlier result");
}
