#include "InputFiles.h"

#include "MainPaths.h"

namespace {

// The walk builds each path as folder + "/" + relative path and collapses
// doubled separators once, so the same collapse of folder + "/" is its start.
std::string SubFolderOf(const std::string& file, const std::string& folder) {
    const std::string start = CollapseBackslashes(folder + "/");
    if (!file.starts_with(start)) return {};
    const std::string relative = file.substr(start.size());
    const std::string::size_type slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

}  // namespace

std::string WithoutTrailingSlashes(const std::string& folder) {
    const std::string::size_type last = folder.find_last_not_of('/');
    return last == std::string::npos ? std::string() : folder.substr(0, last + 1);
}

std::vector<InputFile> ExpandInputs(const std::vector<std::string>& paths,
                                    const std::string& pattern, const WalkHooks& hooks) {
    std::vector<InputFile> files;
    for (const std::string& path : paths) {
        if (!FolderExists(path)) {
            files.push_back({path, {}});
            continue;
        }
        for (std::string& file : CollectFolderFiles(path, pattern, hooks)) {
            std::string subFolder = SubFolderOf(file, path);
            files.push_back({std::move(file), std::move(subFolder)});
        }
    }
    return files;
}
