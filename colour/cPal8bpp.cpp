#include "cPal8bpp.h"

#include "LogicalPalette.h"
#include "Octree.h"
#include "cError.h"

#include <algorithm>

cPal8bpp::cPal8bpp() = default;
cPal8bpp::~cPal8bpp() = default;

void cPal8bpp::Initialize(int16_t InitialEntries) {
    Destroy();
    Entries_ = InitialEntries;
    entries_ = std::make_unique<uint8_t[]>(1024);  // value-initialised: all zero
}

void cPal8bpp::BuildLogicalPalette() {
    hPal_.reset();
    if (!entries_) throw cError::Subscript();  // nothing to copy yet
    // A count the entry block cannot back is refused, as the platform refuses
    // such a palette: no logical palette and no error.
    if (Entries_ < 1 || Entries_ > 256) return;
    auto palette = std::make_unique<LogicalPalette>();
    palette->Count = Entries_;
    for (int32_t i = 0; i < Entries_; ++i) {
        palette->Blue[i] = entries_[4 * i];
        palette->Green[i] = entries_[4 * i + 1];
        palette->Red[i] = entries_[4 * i + 2];
    }
    hPal_ = std::move(palette);
}

void cPal8bpp::Destroy() {
    Entries_ = 0;
    entries_.reset();
    hPal_.reset();
}

// All the distances first, then their least, then the first entry at it:
// loops without a branch that the compiler turns into vector code, built
// twice, for AVX2 where the processor has it and for any x86-64. Most of a
// small file's time is spent here: each build starts at a cache line, so
// that its loops lie the same way towards the processor's instruction fetch
// in every program linking it (placed by the linker alone, they ran a third
// slower in some programs than in others).
__attribute__((target_clones("avx2", "default"), aligned(64))) uint8_t
cPal8bpp::LogicalPalette::Nearest(uint8_t R, uint8_t G, uint8_t B) const {
    std::array<int32_t, 256> distance;
    for (int32_t i = 0; i < Count; ++i) {
        const int32_t dr = Red[i] - R, dg = Green[i] - G, db = Blue[i] - B;
        distance[i] = dr * dr + dg * dg + db * db;
    }
    int32_t least = INT32_MAX;
    for (int32_t i = 0; i < Count; ++i) least = std::min(least, distance[i]);
    int32_t best = 0;
    while (distance[best] != least) ++best;
    return static_cast<uint8_t>(best);
}

void cPal8bpp::ClosestIndex(uint8_t R, uint8_t G, uint8_t B, uint8_t& Index) const {
    if (!hPal_) throw cError::Overflow();  // the platform's "no index" does not fit a byte
    Index = hPal_->Nearest(R, G, B);
}

void cPal8bpp::ClosestColor(uint8_t R, uint8_t G, uint8_t B, uint8_t& cR, uint8_t& cG,
                            uint8_t& cb) const {
    if (!hPal_ || !entries_) throw cError::Subscript();  // no entry number to read
    const uint8_t* e = &entries_[4 * hPal_->Nearest(R, G, B)];
    cR = e[2];
    cG = e[1];
    cb = e[0];
}

bool cPal8bpp::IsGreyScale() const {
    if (Entries_ <= 0) return false;
    if (!entries_) throw cError::Subscript();
    for (int32_t i = 0; i < Entries_; ++i) {
        if (i > 255) throw cError::Subscript();  // Entries set beyond the table
        const uint8_t* e = &entries_[4 * i];
        if (e[0] != e[1] || e[1] != e[2]) return false;
    }
    return true;
}

const uint8_t* cPal8bpp::lpPalette() const {
    if (!entries_) throw cError::Subscript();
    return entries_.get();
}

uintptr_t cPal8bpp::hPal() const { return reinterpret_cast<uintptr_t>(hPal_.get()); }

// Entry bytes are Blue, Green, Red, reserved; reading or writing one needs the table.
namespace {
constexpr int kBlue = 0, kGreen = 1, kRed = 2;

uint8_t& EntryByte(const std::unique_ptr<uint8_t[]>& table, uint8_t PalEntry, int channel) {
    if (!table) throw cError::Subscript();
    return table[4 * PalEntry + channel];
}
}  // namespace

uint8_t cPal8bpp::rgbR(uint8_t PalEntry) const { return EntryByte(entries_, PalEntry, kRed); }
uint8_t cPal8bpp::rgbG(uint8_t PalEntry) const { return EntryByte(entries_, PalEntry, kGreen); }
uint8_t cPal8bpp::rgbB(uint8_t PalEntry) const { return EntryByte(entries_, PalEntry, kBlue); }

void cPal8bpp::rgbR(uint8_t PalEntry, uint8_t New_Value) {
    EntryByte(entries_, PalEntry, kRed) = New_Value;
}
void cPal8bpp::rgbG(uint8_t PalEntry, uint8_t New_Value) {
    EntryByte(entries_, PalEntry, kGreen) = New_Value;
}
void cPal8bpp::rgbB(uint8_t PalEntry, uint8_t New_Value) {
    EntryByte(entries_, PalEntry, kBlue) = New_Value;
}
