// The window's "Start Reducing" and pixolune-cli write the same bytes for the
// same files and choices: the sample images as BMP, and as JPEG at two qualities.

#include "AppTestSupport.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSlider>

#include <map>

namespace {

using Outputs = std::map<std::string, QByteArray>;  // file name -> bytes

Outputs FilesIn(const std::string& folder) {
    Outputs outputs;
    for (const QString& name : QDir(folder.c_str()).entryList(QDir::Files)) {
        QFile file(QDir(folder.c_str()).filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        outputs[name.toStdString()] = file.readAll();
    }
    return outputs;
}

Texts Samples() {
    Texts paths;
    for (const QString& name : QDir(PIXOLUNE_SAMPLES).entryList(QDir::Files, QDir::Name))
        paths.push_back(std::string(PIXOLUNE_SAMPLES) + "/" + name.toStdString());
    return paths;
}

}  // namespace

class WindowAndCli : public WindowFixture {
protected:
    // The window's run over sources into a fresh folder: what it wrote.
    Outputs ThroughWindow(const Texts& sources, bool jpg, int quality) {
        const TempTree out;
        for (const std::string& source : sources) form->AppendListItem(source);
        (jpg ? form->Option2 : form->Option1)->click();
        form->Slider2->setValue(quality);
        form->Text1->setText((out.Root() + "/").c_str());
        dialogs.Boxes.clear();
        form->PushButton2_Click();
        EXPECT_EQ(dialogs.BoxTexts(), Texts{"Done."});
        form->PushButton7_Click();  // "Clear List" asks nothing
        return FilesIn(out.Root());
    }

    // pixolune-cli over the same sources with the same choices.
    static Outputs ThroughCli(const Texts& sources, bool jpg, int quality) {
        const TempTree out;
        QStringList arguments{"-o", out.Root().c_str(), "-t", jpg ? "jpg" : "bmp"};
        arguments << "-q" << QString::number(quality) << "--";
        for (const std::string& source : sources) arguments << source.c_str();
        QProcess cli;
        cli.start(PIXOLUNE_CLI, arguments);
        EXPECT_TRUE(cli.waitForFinished(120000));  // a guard against a hang, no time limit
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        return FilesIn(out.Root());
    }
};

TEST_F(WindowAndCli, SameBytesForBmpAndJpegAtTwoQualities) {
    const Texts sources = Samples();
    ASSERT_GE(sources.size(), 6u);
    std::map<int, Outputs> jpegs;
    for (const auto& [jpg, quality] : {std::pair{false, 85}, {true, 30}, {true, 95}}) {
        SCOPED_TRACE((jpg ? "JPG at " : "BMP, slider at ") + std::to_string(quality));
        const Outputs window = ThroughWindow(sources, jpg, quality);
        EXPECT_EQ(window.size(), sources.size());
        for (const auto& [name, bytes] : window)
            EXPECT_TRUE(name.ends_with(jpg ? "-reduced.jpg" : "-reduced.bmp")) << name;
        const Outputs cli = ThroughCli(sources, jpg, quality);
        EXPECT_EQ(window.size(), cli.size());
        for (const auto& [name, bytes] : window) {
            const auto found = cli.find(name);
            ASSERT_NE(found, cli.end()) << name;
            EXPECT_TRUE(bytes == found->second) << name << " differs";
        }
        if (jpg) jpegs[quality] = window;
    }
    // The quality reaches the encoder: the two JPEG runs differ for every file.
    for (const auto& [name, bytes] : jpegs[30]) EXPECT_NE(bytes, jpegs[95][name]) << name;
}
