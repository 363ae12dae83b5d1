// Form1's output options (BMP or JPG, the JPG quality) and the output folder:
// every change is stored at once, so nothing is saved at exit.

#include "Form1.h"

#include "AppSettings.h"
#include "Dialogs.h"
#include "ErrorReport.h"
#include "Messages.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

QString QualityCaption(int32_t value) { return QString("JPG quality: %1%").arg(value); }

// The quality only matters for JPG output. With neither option selected the
// frame stays as it is.
void Form1::UpdateQualityFrame() {
    if (Option1->isChecked())
        Frame4->setEnabled(false);
    else if (Option2->isChecked())
        Frame4->setEnabled(true);
}

void Form1::Option1_Click() {
    cSettings::SetFlag(Setting::Option1, Option1->isChecked());
    cSettings::SetFlag(Setting::Option2, Option2->isChecked());
    UpdateQualityFrame();
}

void Form1::Option2_Click() { Option1_Click(); }

void Form1::Slider2_Change() {
    Frame4->setTitle(QualityCaption(Slider2->value()));
    cSettings::SetNumber(Setting::Slider2, Slider2->value());
}

// Stored at every keystroke, whether or not the folder exists.
void Form1::Text1_Change() {
    cSettings::SetText(Setting::OutputFolder, Text1->text().toStdString());
}

std::string Form1::OutputFolder() const { return Text1->text().toStdString(); }

void Form1::PushButton4_Click() {
    cStepGuard guard(dialogs_, LocationString("Form1", "PushButton4_Click"));
    std::string chosen;
    guard.Step(100, [&] {
        chosen = dialogs_.BrowseForFolder(kSelectFolder, cSettings::Text(Setting::LastFolderDot));
    });
    if (chosen.empty()) return;  // step 102: cancelled, nothing changes
    guard.Step(104, [&] { cSettings::SetText(Setting::LastFolderDot, chosen); });
    // The output folder text always ends in "/" after a choice.
    if (chosen.back() != '/')
        guard.Step(106, [&] { Text1->setText(QString::fromStdString(chosen + "/")); });
    else
        guard.Step(108, [&] { Text1->setText(QString::fromStdString(chosen)); });
}
