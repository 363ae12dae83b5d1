#include "OutputPlan.h"

#include "PathIdentity.h"

#include <unordered_map>
#include <unordered_set>

namespace {

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
