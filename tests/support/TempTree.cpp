#include "TempTree.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TempTree::TempTree() {
    std::string templ = "/tmp/pixolune-test-XXXXXX";
    if (!mkdtemp(templ.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = templ;
}

TempTree::~TempTree() {
    std::error_code ec;
    // Folders made unreadable by a test must become removable again.
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(root_, ec);
}

std::string TempTree::Path(const std::string& relative) const { return root_ + "/" + relative; }

std::string TempTree::Folder(const std::string& relative) const {
    const std::string path = Path(relative);
    fs::create_directories(path);
    return path;
}

std::string TempTree::File(const std::string& relative, mode_t mode,
                           const std::string& content) const {
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
    if (chmod(path.c_str(), mode) != 0) {
        throw std::runtime_error("chmod failed: " + path);
    }
    return path;
}

std::string TempTree::Link(const std::string& relative, const std::string& target) const {
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    if (symlink(target.c_str(), path.c_str()) != 0) {
        throw std::runtime_error("symlink failed: " + path);
    }
    return path;
}

std::string TempTree::Fifo(const std::string& relative) const {
    const std::string path = Path(relative);
    fs::create_directories(fs::path(path).parent_path());
    if (mkfifo(path.c_str(), 0644) != 0) {
        throw std::runtime_error("mkfifo failed: " + path);
    }
    return path;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
