#include "InputFiles.h"

#include "CliMessages.h"
#include "MainPaths.h"

#include <map>
#include <optional>

#include <sys/stat.h>

namespace {

// The walk builds each path as folder + "/" + relative path and collapses
// doubled separators once, so the same collapse of folder + "/" is its start.
std::string StartOf(const std::string& folder) { return CollapseBackslashes(folder + "/"); }

std::string SubFolderOf(const std::string& file, const std::string& folder) {
    const std::string start = StartOf(folder);
    if (!file.starts_with(start)) return {};
    const std::string relative = file.substr(start.size());
    const std::string::size_type slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

bool HasOutputName(const std::string& path, const std::string& suffix) {
    if (suffix.empty()) return false;
    const std::string name = FileNameFromPath(path);
    return name.ends_with(suffix + ".bmp") || name.ends_with(suffix + ".jpg");
}

// Tells which folders of a walk are the output folder, whatever the path
// they are reached by (a link, another spelling).
class OutputFolderFinder {
public:
    explicit OutputFolderFinder(const std::string& folder) {
        struct stat st {};
        if (!folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            output_ = st;
    }

    // The folder (as the walk spells it) below the walked folder top, on the
    // way to path, that is the output folder; "" when none is.
    std::string Within(const std::string& path, const std::string& top) {
        if (!output_) return {};
        for (std::string::size_type slash = path.find('/', StartOf(top).size());
             slash != std::string::npos; slash = path.find('/', slash + 1))
            if (const std::string folder = path.substr(0, slash); IsOutput(folder)) return folder;
        return {};
    }

private:
    bool IsOutput(const std::string& folder) {
        const auto [known, added] = seen_.try_emplace(folder, false);
        if (added) {
            struct stat st {};
            known->second = ::stat(folder.c_str(), &st) == 0 && st.st_dev == output_->st_dev &&
                            st.st_ino == output_->st_ino;
        }
        return known->second;
    }

    std::optional<struct stat> output_;
    std::map<std::string, bool> seen_;
};

}  // namespace

InputList ExpandInputs(const std::vector<std::string>& paths, const std::string& pattern,
                       const WalkRules& rules, const WalkHooks& hooks) {
    InputList list;
    OutputFolderFinder outputFolder(rules.OutputFolder);
    for (const std::string& path : paths) {
        if (!FolderExists(path)) {
            list.Files.push_back({path, {}, {}});
            continue;
        }
        std::vector<InputFile> missed;
        WalkHooks walk = hooks;
        walk.FolderMissed = [&](const std::string& folder, int error) {
            missed.push_back({folder, {}, FolderMissedReason(error)});
        };
        const std::size_t before = list.Files.size();
        std::string leftOutFolder;  // the output folder, once named
        // The output folder's own files and folders are left out, and named once.
        const auto outsideOutput = [&](const std::string& entry) {
            const std::string inside = outputFolder.Within(entry, path);
            if (inside.empty()) return true;
            if (inside != leftOutFolder) {
                leftOutFolder = inside;
                list.Notes.push_back({inside, WalkNoteKind::OutputFolder});
            }
            return false;
        };
        for (std::string& file : CollectFolderFiles(path, pattern, walk)) {
            if (!outsideOutput(file)) continue;
            if (HasOutputName(file, rules.OutputSuffix)) {
                list.Notes.push_back({file, WalkNoteKind::OutputName});
                continue;
            }
            std::string subFolder = SubFolderOf(file, path);
            list.Files.push_back({std::move(file), std::move(subFolder), {}});
        }
        for (InputFile& folder : missed)
            if (outsideOutput(folder.Path)) list.Files.push_back(std::move(folder));
        if (list.Files.size() == before) list.Notes.push_back({path, WalkNoteKind::NoFile});
    }
    return list;
}
