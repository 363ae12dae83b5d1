#pragma once
// A scratch folder under /tmp, removed with everything in it afterwards.

#include <string>
#include <vector>
#include <sys/types.h>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root, without a trailing "/".
    const std::string& Root() const { return root_; }
    // Root() + "/" + relative.
    std::string Path(const std::string& relative) const;

    // Each creates the parents it needs and returns the full path.
    std::string Folder(const std::string& relative) const;
    std::string File(const std::string& relative, mode_t mode = 0644,
                     const std::string& content = "x") const;
    std::string Link(const std::string& relative, const std::string& target) const;
    std::string Fifo(const std::string& relative) const;

private:
    std::string root_;
};

// Names of the entries of a folder, sorted, so that a stray file left behind shows.
std::vector<std::string> NamesIn(const std::string& folder);

// A whole file's bytes as text ("" when it cannot be read).
std::string ReadText(const std::string& path);
