#include "CorpusImages.h"

#include "PictureLoader.h"
#include "cDIB.h"
#include "cError.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

namespace {

std::string& CorpusFolder() {
    static std::string folder = [] {
        const char* fromEnvironment = std::getenv("PIXOLUNE_CORPUS");
        return std::string(fromEnvironment ? fromEnvironment : "");
    }();
    return folder;
}

// The value of the last FLAGvalue argument (FLAG ends in "="), every one of
// them removed from argv; nullopt when there is none.
std::optional<std::string> TakeFlag(int& argc, char** argv, std::string_view flag) {
    std::optional<std::string> value;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]).starts_with(flag))
            value = argv[i] + flag.size();
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return value;
}

}  // namespace

std::vector<std::string> TakeCorpusSizes(int& argc, char** argv, const char* program) {
    if (std::optional<std::string> folder = TakeFlag(argc, argv, "--corpus="))
        CorpusFolder() = *folder;
    std::stringstream list(TakeFlag(argc, argv, "--sizes=").value_or("2,12,50"));
    if (CorpusFolder().empty()) {
        std::fprintf(stderr,
                     "%s: name the photo corpus with --corpus=DIR (made by "
                     "make_photo_corpus.sh)\n",
                     program);
        return {};
    }
    std::vector<std::string> sizes;
    for (std::string size; std::getline(list, size, ',');) {
        if (size.empty()) continue;
        if (!std::filesystem::exists(CorpusPhotoPath(size))) {
            std::fprintf(stderr,
                         "%s: %s not found (make the corpus with make_photo_corpus.sh, or pass "
                         "--corpus=DIR)\n",
                         program, CorpusPhotoPath(size).c_str());
            return {};
        }
        sizes.push_back(size);
    }
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
