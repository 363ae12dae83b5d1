#include "InputFiles.h"

#include "MainPaths.h"

#include <cstring>

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

std::string MissedLine(const std::string& folder, int error) {
    if (error == 0)
        return "Not converted: the files of " + folder +
               " (the folder's name is not valid UTF-8, or holds \"?\" or a control character)";
    return "Not converted: the files of " + folder + " (" + std::strerror(error) + ")";
}

}  // namespace

std::vector<InputFile> ExpandInputs(const std::vector<std::string>& paths,
                                    const std::string& pattern, const WalkHooks& hooks) {
    std::vector<InputFile> files;
    for (const std::string& path : paths) {
        if (!FolderExists(path)) {
            files.push_back({path, {}, {}});
            continue;
        }
        std::vector<InputFile> missed;
        WalkHooks walk = hooks;
        walk.FolderMissed = [&](const std::string& folder, int error) {
            missed.push_back({folder, {}, MissedLine(folder, error)});
        };
        for (std::string& file : CollectFolderFiles(path, pattern, walk)) {
            std::string subFolder = SubFolderOf(file, path);
            files.push_back({std::move(file), std::move(subFolder), {}});
        }
        files.insert(files.end(), missed.begin(), missed.end());
    }
    return files;
}
