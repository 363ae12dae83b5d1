#pragma once
// The outputs one reduction run of the window has written, so that no later
// list item replaces the output of an earlier one. Only the run's own outputs
// are known: files of earlier runs are replaced as ever.
//
// An output is told by the directory entry it names (PathIdentity.h), as
// pixolune-cli tells them, so another spelling of the output folder is still
// the same output. A source listed again may write its own output again: the
// picture is the same, nothing is lost.

#include <string>
#include <unordered_map>

class cRunOutputs {
public:
    // The source whose output output already is, when that is another file
    // than source; "" when output is free for source.
    std::string EarlierSource(const std::string& output, const std::string& source) const;
    // output now holds the reduction of source.
    void Written(const std::string& output, const std::string& source);

private:
    struct Writer {
        std::string Source;  // as listed
        std::string File;    // FileIdentity of Source
    };
    std::unordered_map<std::string, Writer> writers_;  // by EntryIdentity of the output
};
