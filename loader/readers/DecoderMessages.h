#pragma once
// What the decoders' messages say: the one list of the words by which a
// decoder tells that it ran out of data, for every decoder the loader runs.

#include <string_view>

// Whether a decoder's message says that data is missing: libjpeg ("Premature
// end of JPEG file", "premature end of data segment"), libpng ("Not enough
// image data", "Read Error", "Truncated ..."), Qt's XPM reader ("pixels
// missing"). Such a picture is partial and never loads.
bool SaysDataMissing(std::string_view message);
