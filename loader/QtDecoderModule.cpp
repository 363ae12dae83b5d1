// Finds and loads the general decoder's module, once, the first time a file
// needs it: beside the executable (the build tree), or where the install
// puts it relative to the executable's folder.

#include "QtDecoder.h"

#include "LoaderErrors.h"

#include <climits>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace {

using Entry = void (*)(const QtDecodeRequest&, cPicture&);

struct Module {
    Entry Decode = nullptr;
    std::string Failure;  // why no module could be loaded
};

std::string ExecutableFolder() {
    std::vector<char> path(PATH_MAX);
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return ".";
    const std::string executable(path.data(), static_cast<std::size_t>(length));
    const std::string::size_type slash = executable.rfind('/');
    return slash == std::string::npos ? "." : executable.substr(0, slash);
}

Module Load() {
    Module module;
    const std::string folder = ExecutableFolder();
    for (const std::string& candidate :
         {folder + "/" PIXOLUNE_QT_DECODER,
          folder + "/" PIXOLUNE_QT_DECODER_FROM_BIN "/" PIXOLUNE_QT_DECODER}) {
        // Never closed: the pictures it decodes keep code of it as their deleter.
        void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            if (::access(candidate.c_str(), F_OK) == 0) module.Failure = ::dlerror();
            continue;
        }
        module.Decode = reinterpret_cast<Entry>(::dlsym(handle, "PixoluneDecodeWithQt"));
        if (module.Decode != nullptr) return module;
        module.Failure = candidate + " has no decoder in it";
    }
    if (module.Failure.empty()) module.Failure = PIXOLUNE_QT_DECODER " is not installed";
    return module;
}

}  // namespace

cPicture DecodeWithQt(const QtDecodeRequest& request) {
    static const Module module = Load();  // one load, whichever threads ask first
    if (module.Decode == nullptr)
        RaiseInvalid(
            *request.Path,
            "the decoder for formats other than plain BMP cannot be loaded: " + module.Failure);
    cPicture picture;
    module.Decode(request, picture);
    return picture;
}
