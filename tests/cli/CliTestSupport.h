#pragma once
// The built pixolune-cli run end to end on scratch trees: running it, generated
// pictures, and results worked out by hand.

#include "ImageBytes.h"
#include "TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

namespace clitest {

using namespace imagebytes;
namespace fs = std::filesystem;

struct CliRun {
    int Status = -1;    // exit status; -1 when it did not exit normally
    bool Hung = false;  // killed after the guard time
    std::string Out, Err;
};

inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the built program with stdin from a file (/dev/null unless given) and stdout and
// stderr captured in files (never a terminal, so no progress line); killed when still
// running after guardSeconds.
inline CliRun RunCli(const std::vector<std::string>& arguments, const std::string& workingDir = ".",
                     int guardSeconds = 120, const std::string& input = "/dev/null") {
    const TempTree capture;
    std::string command = "cd " + Quoted(workingDir) + " && exec timeout -s KILL " +
                          std::to_string(guardSeconds) + " " + Quoted(PIXOLUNE_CLI);
    // Appended piece by piece: g++ 12 warns (wrongly) of overlapping copies in "text" + temporary.
    for (const std::string& argument : arguments) command.append(" ").append(Quoted(argument));
    command.append(" <").append(Quoted(input));
    command.append(" >").append(Quoted(capture.Path("out")));
    command.append(" 2>").append(Quoted(capture.Path("err")));
    const int status = std::system(command.c_str());
    CliRun run;
    run.Hung = WIFSIGNALED(status) ? WTERMSIG(status) == SIGKILL : WEXITSTATUS(status) == 137;
    if (!run.Hung && WIFEXITED(status)) run.Status = WEXITSTATUS(status);
    const Bytes out = ReadFile(capture.Path("out")), err = ReadFile(capture.Path("err"));
    run.Out.assign(out.begin(), out.end());
    run.Err.assign(err.begin(), err.end());
    return run;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::set<std::string> FileNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// Every file below folder, by its path relative to it, with its bytes.
inline std::map<std::string, Bytes> FilesBelow(const std::string& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path());
    return files;
}

inline uint64_t SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? uint64_t(st.st_size) : 0;
}

using PictureRows = std::vector<std::vector<Rgb>>;

// A w x h picture with smooth colours and some noise, varied by seed, rows top to bottom.
inline PictureRows NoisyRows(int w, int h, int seed) {
    PictureRows rows(h, std::vector<Rgb>(w));
    uint32_t x = 2463534242u + uint32_t(seed);
    for (int y = 0; y < h; ++y)
        for (int c = 0; c < w; ++c) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            rows[y][c] = {uint8_t(c * 255 / std::max(1, w - 1)), uint8_t(y * 7 + seed * 40),
                          uint8_t((c + y) % 2 ? x : 128)};
        }
    return rows;
}

// The same as a 24-bit BMP.
inline Bytes Picture(int w, int h, int seed) { return Bmp24(NoisyRows(w, h, seed)); }

// The picture an 8-bit BMP of pixolune-cli shows, rows top to bottom.
inline PictureRows ShownRows(const Bytes& bmp) {
    const auto word = [&](std::size_t at) {
        return int32_t(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24);
    };
    const int32_t offset = word(10), w = word(18), h = word(22), stride = (w + 3) / 4 * 4;
    PictureRows rows(h, std::vector<Rgb>(w));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* entry = &bmp[54 + 4 * bmp[offset + (h - 1 - y) * stride + x]];
            rows[y][x] = {entry[2], entry[1], entry[0]};
        }
    return rows;
}

// PSNR in dB of b against a over red, green and blue (pictures of one size).
inline double PsnrOverRgb(const PictureRows& a, const PictureRows& b) {
    double sum = 0, values = 0;
    for (std::size_t y = 0; y < a.size(); ++y)
        for (std::size_t x = 0; x < a[y].size(); ++x)
            for (const auto& [u, v] : {std::pair{a[y][x].R, b[y][x].R},
                                       {a[y][x].G, b[y][x].G},
                                       {a[y][x].B, b[y][x].B}}) {
                sum += (u - v) * (u - v);
                values += 1;
            }
    return 10 * std::log10(255.0 * 255.0 * values / sum);
}

// An 8-bit file as pixolune-cli writes it: the whole 256-entry colour table, and image
// size, resolution and colour counts all 0.
inline Bytes Reduced(int32_t w, int32_t h, std::vector<Rgb> palette, Bytes pixels) {
    palette.resize(256);
    Bytes file = BuildBmp({w, h, 8, 0, palette, {}, pixels});
    std::fill(file.begin() + 34, file.begin() + 54, 0);
    return file;
}

// P = (110, 100, 20) and Q = (104, 104, 26) as
//     top row:    P P Q Q
//     bottom row: Q Q P P
inline const Rgb P{110, 100, 20}, Q{104, 104, 26};
inline const Bytes kHandWorkedSource = Bmp24({{P, P, Q, Q}, {Q, Q, P, P}});

// Palette: the octree files pixels bottom row first; each colour has its own leaf,
// numbered as first met: entry 0 = Q, entry 1 = P.
// Dithering: t is 1 9 3 11 on the bottom row and 13 5 15 7 on the top row; a channel v
// gives level round((v + 8 - t) / 17), and the levels (r, g, b) pick the entry nearest to
// (17r, 17g, 17b) by squared distance:
//   bottom Q t=1:  111/17=6.53->7, 7, 33/17=1.94->2 -> (119,119,34): Q 514, P 638 -> 0
//   bottom Q t=9:  103/17=6.06->6, 6, 25/17=1.47->1 -> (102,102,17): Q 89,  P 77  -> 1
//   bottom P t=3:  115/17=6.76->7, 105/17=6.18->6, 25/17=1.47->1 -> (119,102,17): Q 310, P 94 -> 1
//   bottom P t=11: 107/17=6.29->6, 97/17=5.71->6, 17/17=1 -> (102,102,17) -> 1
//   top P t=13:    105/17=6.18->6, 95/17=5.59->6, 15/17=0.88->1 -> (102,102,17) -> 1
//   top P t=5:     113/17=6.65->7, 103/17=6.06->6, 23/17=1.35->1 -> (119,102,17) -> 1
//   top Q t=15:    97/17=5.71->6, 6, 19/17=1.12->1 -> (102,102,17) -> 1
//   top Q t=7:     105/17=6.18->6, 6, 27/17=1.59->2 -> (102,102,34): Q 72, P 264 -> 0
inline const Bytes kHandWorkedResult = Reduced(4, 2, {Q, P}, {0, 1, 1, 1, 1, 1, 1, 0});

inline const Rgb kRed{255, 0, 0};
inline const Bytes kRedSource = Bmp24({{kRed, kRed, kRed}});
// One colour: level 15, 0, 0 picks entry 0 everywhere; the row is padded with a 0.
inline const Bytes kRedResult = Reduced(3, 1, {kRed}, {0, 0, 0, 0});

class Cli : public ::testing::Test {
protected:
    TempTree dir;
    std::string in = dir.Folder("in"), out = dir.Folder("out");

    std::string Input(const std::string& name, const Bytes& bytes) {
        return dir.File("in/" + name, 0644, std::string(bytes.begin(), bytes.end()));
    }
};

}  // namespace clitest
