#pragma once
// cPal8bpp: a palette of up to 256 colours for 8-bit images, with fixed
// palettes (grey ramps, the 16 standard colours, colour cubes, a web-safe set),
// the octree optimal palette, and nearest-entry lookup.
//
// Entries are 4 bytes, Blue, Green, Red, reserved: the 256 of them form the
// 1024-byte block lpPalette() returns, the colour-table layout of cDIB.

#include <cstdint>
#include <memory>
#include <vector>

class cDIB;

struct OctreeState;

class cPal8bpp {
public:
    cPal8bpp();
    ~cPal8bpp();
    cPal8bpp(const cPal8bpp&) = delete;
    cPal8bpp& operator=(const cPal8bpp&) = delete;

    void Initialize(int16_t InitialEntries);
    void BuildLogicalPalette();
    void Destroy();

    // ClosestColor, IsGreyScale, CreateGreyScale, CreateEGA, CreateWebsafe and
    // hPal have no caller in the program yet.
    void ClosestColor(uint8_t R, uint8_t G, uint8_t B, uint8_t& cR, uint8_t& cG, uint8_t& cb) const;
    void ClosestIndex(uint8_t R, uint8_t G, uint8_t B, uint8_t& Index) const;
    bool IsGreyScale() const;

    void CreateGreyScale(int32_t GreyLevels);
    void CreateEGA();
    void CreateHalftone(int32_t HalftoneLevels);
    void CreateWebsafe();
    void CreateOptimal(const cDIB& oDIB32, int32_t nColors, int32_t nLevels, float RWeight,
                       float GWeight, float BWeight);

    // Address of entry 0; raises a subscript error before any Initialize.
    const uint8_t* lpPalette() const;
    uintptr_t hPal() const;

    int16_t Entries() const { return Entries_; }
    void Entries(int16_t New_Entries) { Entries_ = New_Entries; }

    uint8_t rgbR(uint8_t PalEntry) const;
    uint8_t rgbG(uint8_t PalEntry) const;
    uint8_t rgbB(uint8_t PalEntry) const;
    void rgbR(uint8_t PalEntry, uint8_t New_Value);
    void rgbG(uint8_t PalEntry, uint8_t New_Value);
    void rgbB(uint8_t PalEntry, uint8_t New_Value);

private:
    struct LogicalPalette;  // the copy of the first Entries entries that answers lookups

    int16_t Entries_ = 0;
    std::unique_ptr<LogicalPalette> hPal_;
    std::unique_ptr<uint8_t[]> entries_;   // 1024 bytes once initialised
    std::unique_ptr<OctreeState> octree_;  // the optimal palette's working state
};
