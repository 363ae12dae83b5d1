#pragma once
// The photographs the benchmarks run on, loaded once through the program's own
// picture loader and kept as the 32-bpp images a reduction starts from.

#include <string>
#include <vector>

class cDIB;

// Folder of the photo corpus: --corpus=DIR when given (the argument is then
// removed from argv), else $PIXOLUNE_CORPUS, else empty after telling the
// user on standard error how to name it.
std::string TakeCorpusFolder(int& argc, char** argv, const char* program);

// --sizes=2,12,50 (the labels of the photographs to run; that list when not
// given), removed from argv.
std::vector<std::string> TakeSizes(int& argc, char** argv);

// The corpus's mp<label>.bmp.
std::string CorpusPhotoPath(const std::string& label);

// mp<label>.bmp of the corpus (label "2", "12", "50", ...) as a 32-bpp image,
// loaded on first use and kept for the rest of the process. Raises a cError
// when the file cannot be loaded.
const cDIB& CorpusPhoto(const std::string& label);
