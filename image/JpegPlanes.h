#pragma once
// The rows of an 8-bit indexed picture as the JPEG encoder's Y, Cb and Cr
// planes, one block of 16 picture rows (the encoder's unit of 4:2:0 output)
// at a time, made as the encoder itself makes them from the same rows
// expanded through the colour table: each entry's Y, Cb and Cr with the
// library's fixed-point conversion, rows widened by repeating their last
// pixel, each 2 x 2 block of Cb and Cr averaged with the library's rounding
// (1 and 2 by turns), the picture's last rows repeated to fill the block. So
// the encoder's bytes are the same, and no row is ever widened to 3 or 4
// bytes a pixel: a picture of 256 colours is converted once per colour.

#include <array>
#include <cstdint>
#include <vector>

class cJpegPlanes {
public:
    static constexpr int32_t kRows = 16;

    // For rows of width entry numbers into colourTable (256 entries of
    // Blue, Green, Red, unused).
    cJpegPlanes(int32_t width, const uint8_t* colourTable);

    // Adds the next picture row (width entry numbers), below those before.
    void AddRow(const uint8_t* row);
    bool Full() const { return rows_ == kRows; }
    bool Empty() const { return rows_ == 0; }
    // Fills a part-filled block as the picture's bottom is filled: a last
    // row without a partner is paired with itself, then the last rows repeat.
    void FillBottom();

    // The block's Y rows (16), Cb rows (8) and Cr rows (8), for the encoder.
    uint8_t** const* Planes() { return planes_.data(); }
    // Empties the block for the next rows.
    void Clear() { rows_ = 0; }

private:
    void YRow(const uint8_t* row, uint8_t* out) const;
    void ChromaRows(const uint8_t* upper, const uint8_t* lower, int32_t chromaRow);

    int32_t width_;
    int32_t yWidth_;       // the Y rows' width: whole blocks of 8
    int32_t chromaWidth_;  // the Cb and Cr rows' width: whole blocks of 8
    // Y, Cb and Cr of each entry, in that order.
    alignas(64) std::array<std::array<uint8_t, 256>, 3> levels_{};
    std::vector<uint8_t> y_, cb_, cr_;
    std::vector<uint8_t> upper_;  // the first row of a pair, until its second comes
    std::array<std::array<uint8_t*, kRows>, 3> rowPointers_{};
    std::array<uint8_t**, 3> planes_{};
    int32_t rows_ = 0;
};
