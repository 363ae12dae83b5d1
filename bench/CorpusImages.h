#pragma once
// The photographs the benchmarks run on, loaded once through the program's own
// picture loader and kept as the 32-bpp images a reduction starts from.

#include <string>
#include <vector>

class cDIB;

// The photographs to run on, from --corpus=DIR (else $PIXOLUNE_CORPUS) and
// --sizes=2,12,50 (their labels; that list when not given), both removed from
// argv. Empty, after telling the user on standard error what is missing, when
// there is no corpus folder or a photograph is not in it.
std::vector<std::string> TakeCorpusSizes(int& argc, char** argv, const char* program);

// The corpus's mp<label>.bmp.
std::string CorpusPhotoPath(const std::string& label);

// mp<label>.bmp of the corpus (label "2", "12", "50", ...) as a 32-bpp image,
// loaded on first use and kept for the rest of the process. Raises a cError
// when the file cannot be loaded.
const cDIB& CorpusPhoto(const std::string& label);
