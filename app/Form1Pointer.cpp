// Form1's mouse pointer: the default, the hourglass of a run, or the custom
// pointer of HAND-M.CUR that the push buttons show.

#include "Form1.h"

#include "Messages.h"
#include "PictureLoader.h"
#include "cError.h"

#include <QFile>
#include <QPixmap>

namespace {

// A .cur file holds its hot spot in the first directory entry (bytes 10..13);
// Qt's icon reader reads the image but not the hot spot. A file that cannot be
// read or decoded raises the picture loader's error, which names the file and
// the reason.
QCursor LoadCursorFile(const std::string& path) {
    LoadPicture(path);  // only to raise that error: the pointer keeps its transparency
    const QString file = QString::fromStdString(path);
    QPixmap image(file, "cur");
    if (image.isNull()) image.load(file);
    if (image.isNull())
        throw cError(ErrorNumber::InvalidPicture, std::string(kInvalidPicture) + ": " + path);

    int hotX = -1, hotY = -1;
    QFile cursorFile(file);
    if (cursorFile.open(QIODevice::ReadOnly)) {
        const QByteArray head = cursorFile.read(14);
        if (head.size() == 14 && static_cast<uint8_t>(head[2]) == 2) {  // type 2: cursor
            hotX = static_cast<uint8_t>(head[10]) | static_cast<uint8_t>(head[11]) << 8;
            hotY = static_cast<uint8_t>(head[12]) | static_cast<uint8_t>(head[13]) << 8;
        }
    }
    return QCursor(image, hotX, hotY);
}

}  // namespace

void Form1::LoadCustomPointer(const std::string& cursorFile) {
    mouseIcon_ = LoadCursorFile(cursorFile);
}

void Form1::SetMousePointer(PointerKind pointer) {
    pointer_ = pointer;
    switch (pointer) {
    case PointerKind::Default:
        unsetCursor();
        break;
    case PointerKind::Hourglass:
        setCursor(Qt::WaitCursor);
        break;
    case PointerKind::Custom:
        setCursor(mouseIcon_.value_or(QCursor(Qt::ArrowCursor)));
        break;
    }
}

// Neither pointer change happens while the hourglass is up, so it stays for a whole run.
void Form1::ShowDefaultPointer() {
    if (!IsBusy()) SetMousePointer(PointerKind::Default);
}

void Form1::ShowCustomPointer() {
    if (!IsBusy()) SetMousePointer(PointerKind::Custom);
}

void Form1::Form_MouseMove() { ShowDefaultPointer(); }
void Form1::Frame1_MouseMove() { ShowDefaultPointer(); }
void Form1::Frame2_MouseMove() { ShowDefaultPointer(); }
void Form1::Frame4_MouseMove() { ShowDefaultPointer(); }
void Form1::Text1_MouseMove() { ShowDefaultPointer(); }
void Form1::PushButton1_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton2_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton3_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton4_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton7_MouseMove() { ShowCustomPointer(); }
void Form1::PushButton8_MouseMove() { ShowCustomPointer(); }
