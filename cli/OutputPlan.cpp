#include "OutputPlan.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include <sys/stat.h>

namespace {

std::string DeviceAndInode(const struct stat& st) {
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// Which directory entry a path names: the device and inode of the nearest
// folder on its way that exists, and the rest of the path below it. Two
// spellings of one entry ("a.bmp", "./a.bmp", "link-to-folder/a.bmp") give
// the same text; the entry itself need not exist, and a link at the end is
// the entry, not what it points to.
std::string EntryIdentity(const std::string& path) {
    // end: the length of the folder part tried, the rest follows it.
    std::string::size_type end = path.size();
    for (;;) {
        const std::string::size_type slash =
            end == 0 ? std::string::npos : path.rfind('/', end - 1);
        const std::string folder = slash == std::string::npos ? std::string(".")
                                   : slash == 0               ? std::string("/")
                                                              : path.substr(0, slash);
        struct stat st {};
        if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            const std::string::size_type rest = slash == std::string::npos ? 0 : slash + 1;
            return DeviceAndInode(st) + "/" + path.substr(rest);
        }
        if (slash == std::string::npos || slash == 0) return "?" + path;  // nothing of it exists
        end = slash;
    }
}

// Which file a path names: device and inode when it exists, so that hard and
// symbolic links to one file are one input; else the entry it would be.
std::string FileIdentity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return DeviceAndInode(st);
    return EntryIdentity(path);
}

// The entry a path finally resolves to through its links ("" when it does not
// resolve): writing over that entry changes what the path reads.
std::string ResolvedEntry(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? EntryIdentity(resolved.get()) : std::string();
}

std::string OutputFolderFor(const InputFile& input, const PlanSettings& settings) {
    if (!settings.Tree || input.SubFolder.empty()) return settings.OutputFolder;
    return settings.OutputFolder + "/" + input.SubFolder;
}

std::string TakenRefusal(const PlannedFile& later, const PlannedFile& earlier, bool treeWouldHelp) {
    return "Not converted: " + later.Source + " would write " + later.Output + ", the output of " +
           earlier.Source +
           (treeWouldHelp ? " (use --tree to keep sub-folders apart, or rename one of them)"
                          : " (rename one of them)");
}

std::string InputRefusal(const PlannedFile& file) {
    return "Not converted: " + file.Source + " would write " + file.Output +
           ", an input of this run (choose another output folder, or rename " + file.Output + ")";
}

}  // namespace

std::vector<PlannedFile> PlanOutputs(const std::vector<InputFile>& inputs,
                                     const PlanSettings& settings) {
    std::vector<const InputFile*> unique;
    std::unordered_set<std::string> seenFiles;
    std::unordered_set<std::string> inputEntries;
    for (const InputFile& input : inputs) {
        if (!input.Missed.empty()) {
            unique.push_back(&input);
            continue;
        }
        // Every spelling counts as an input, also one dropped as a repetition.
        inputEntries.insert(EntryIdentity(input.Path));
        if (const std::string resolved = ResolvedEntry(input.Path); !resolved.empty())
            inputEntries.insert(resolved);
        if (seenFiles.insert(FileIdentity(input.Path)).second) unique.push_back(&input);
    }

    std::vector<PlannedFile> plan;
    plan.reserve(unique.size());
    std::unordered_map<std::string, std::size_t> owners;  // output entry -> index in plan
    for (const InputFile* input : unique) {
        PlannedFile file;
        file.Source = input->Path;
        if (!input->Missed.empty()) {
            file.Refusal = input->Missed;
            plan.push_back(std::move(file));
            continue;
        }
        file.SubFolder = settings.Tree ? input->SubFolder : std::string();
        file.Output = ReducedOutputPath(OutputFolderFor(*input, settings),
                                        ReducedBaseName(input->Path), settings.Type);
        const std::string entry = EntryIdentity(file.Output);
        if (inputEntries.count(entry)) {
            file.Refusal = InputRefusal(file);
        } else if (const auto [owner, first] = owners.try_emplace(entry, plan.size()); !first) {
            const PlannedFile& earlier = plan[owner->second];
            const bool treeWouldHelp =
                !settings.Tree && unique[owner->second]->SubFolder != input->SubFolder;
            file.Refusal = TakenRefusal(file, earlier, treeWouldHelp);
        }
        plan.push_back(std::move(file));
    }
    return plan;
}
