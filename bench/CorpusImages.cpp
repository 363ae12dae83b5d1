#include "CorpusImages.h"

#include "PictureLoader.h"
#include "cDIB.h"
#include "cError.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

namespace {

std::string& CorpusFolder() {
    static std::string folder = [] {
        const char* fromEnvironment = std::getenv("PIXOLUNE_CORPUS");
        return std::string(fromEnvironment ? fromEnvironment : "");
    }();
    return folder;
}

}  // namespace

std::string TakeCorpusFolder(int& argc, char** argv) {
    static constexpr char kFlag[] = "--corpus=";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kFlag, sizeof kFlag - 1) == 0)
            CorpusFolder() = argv[i] + sizeof kFlag - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return CorpusFolder();
}

std::vector<std::string> TakeSizes(int& argc, char** argv) {
    static constexpr char kFlag[] = "--sizes=";
    std::string list = "2,12,50";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kFlag, sizeof kFlag - 1) == 0)
            list = argv[i] + sizeof kFlag - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    std::vector<std::string> sizes;
    std::stringstream stream(list);
    for (std::string size; std::getline(stream, size, ',');)
        if (!size.empty()) sizes.push_back(size);
    return sizes;
}

std::string CorpusPhotoPath(const std::string& label) {
    return CorpusFolder() + "/mp" + label + ".bmp";
}

const cDIB& CorpusPhoto(const std::string& label) {
    // Benchmarks run one after the other on the main thread: no lock needed.
    static std::map<std::string, std::unique_ptr<cDIB>> loaded;
    std::unique_ptr<cDIB>& slot = loaded[label];
    if (!slot) {
        const std::string path = CorpusPhotoPath(label);
        auto image = std::make_unique<cDIB>();
        const cPicture picture = LoadPicture(path);
        if (image->CreateFromStdPicture(&picture, true) == 0)
            throw cError(ErrorNumber::InvalidPicture, "Cannot load " + path + " as a bitmap");
        slot = std::move(image);
    }
    return *slot;
}
