#include "RunOutputs.h"

#include "PathIdentity.h"

std::string cRunOutputs::EarlierSource(const std::string& output, const std::string& source) const {
    const auto writer = writers_.find(EntryIdentity(output));
    if (writer == writers_.end() || writer->second.File == FileIdentity(source)) return {};
    return writer->second.Source;
}

void cRunOutputs::Written(const std::string& output, const std::string& source) {
    writers_.insert_or_assign(EntryIdentity(output), Writer{source, FileIdentity(source)});
}
