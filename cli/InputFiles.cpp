#include "InputFiles.h"

#include "AddFolder.h"
#include "MainPaths.h"

std::string WithoutTrailingSlashes(const std::string& folder) {
    const std::string::size_type last = folder.find_last_not_of('/');
    return last == std::string::npos ? std::string() : folder.substr(0, last + 1);
}

std::vector<std::string> ExpandInputs(const std::vector<std::string>& paths,
                                      const std::string& extension) {
    const std::string pattern = extension.empty() ? "*.*" : "*." + extension;
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (!FolderExists(path)) {
            files.push_back(path);
            continue;
        }
        for (std::string& file : CollectFolderFiles(path, pattern))
            files.push_back(std::move(file));
    }
    return files;
}
