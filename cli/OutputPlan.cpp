#include "OutputPlan.h"

#include "CliMessages.h"
#include "PathIdentity.h"

#include <unordered_map>
#include <unordered_set>

namespace {

std::string OutputFolderFor(const InputFile& input, const PlanSettings& settings) {
    if (!settings.Tree || input.SubFolder.empty()) return settings.OutputFolder;
    return settings.OutputFolder + "/" + input.SubFolder;
}

}  // namespace

OutputPlan PlanOutputs(const std::vector<InputFile>& inputs, const PlanSettings& settings) {
    OutputPlan plan;
    std::vector<const InputFile*> unique;
    std::unordered_map<std::string, std::string> seenFiles;  // file -> the path kept for it
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
        const auto [kept, first] = seenFiles.try_emplace(FileIdentity(input.Path), input.Path);
        if (first)
            unique.push_back(&input);
        else
            plan.Merged.push_back({input.Path, kept->second});
    }

    plan.Files.reserve(unique.size());
    std::unordered_map<std::string, std::size_t> claims;  // output entry -> first claimant
    for (const InputFile* input : unique) {
        PlannedFile file;
        file.Source = input->Path;
        file.Claim = plan.Files.size();
        if (!input->Missed.empty()) {
            file.Refusal = input->Missed;
            plan.Files.push_back(std::move(file));
            continue;
        }
        file.SubFolder = settings.Tree ? input->SubFolder : std::string();
        file.FoundIn = input->SubFolder;
        file.Output =
            ReducedOutputPath(OutputFolderFor(*input, settings),
                              OutputBaseName(input->Path, settings.Suffix), settings.Type);
        const std::string entry = EntryIdentity(file.Output);
        if (inputEntries.count(entry))
            file.Refusal = OutputIsInputReason(file.Output);
        else
            file.Claim = claims.try_emplace(entry, file.Claim).first->second;
        plan.Files.push_back(std::move(file));
    }
    return plan;
}

std::string TakenRefusal(const PlannedFile& claimant, const PlannedFile& holder, bool tree) {
    const bool treeWouldHelp = !tree && claimant.FoundIn != holder.FoundIn;
    return OutputTakenReason(claimant.Output, holder.Source, treeWouldHelp);
}
