#pragma once
// The optimal palette's working state: an octree of colour boxes whose leaves
// hold running sums of the pixels filed into them. It lives in the palette
// from one CreateOptimal to the next.
//
// Node numbers start at 1 (the root); 0 means "no node". The numbering and the
// reuse of released nodes decide the order of the palette entries, so they
// follow one fixed scheme.

#include <array>
#include <cstdint>
#include <vector>

struct OctreeNode {
    bool IsLeaf = false;
    bool IsListed = false;  // pushed on its depth's reducible list
    int32_t SumR = 0, SumG = 0, SumB = 0;
    int32_t PixelCount = 0;
    std::array<int32_t, 8> Children{};  // slot r + 2g + 4b of the half-bits
    int32_t NextNode = 0;               // next in a reducible list or in the free list
};

struct OctreeState {
    // Starts an empty tree: a fresh table of 50 nodes with the root as node 1.
    // MaxLevel outside a byte raises an overflow error.
    void Reset(int32_t nLevels, float RWeight, float GWeight, float BWeight);

    // Files one pixel below the root.
    void AddColor(uint8_t R, uint8_t G, uint8_t B);
    // Merges the children of the most recently listed deepest interior node;
    // false when no node is left to merge.
    bool ReduceTree();

    int32_t AllocateNode();
    void ReleaseNode(int32_t node);

    OctreeNode& Node(int32_t number);       // subscript error outside the table
    int32_t& ReducibleList(int32_t depth);  // depths 1..8
    int32_t LastNodeNumber() const { return static_cast<int32_t>(Nodes.size()) - 1; }

    std::vector<OctreeNode> Nodes;  // index 0 unused: node numbers start at 1
    int32_t NodeCount = 0;
    uint8_t MaxLevel = 0;
    int32_t FreeList = 0;
    int32_t LeafCount = 0;
    std::array<int32_t, 8> ReducibleLists{};  // heads of depths 1..8
    float WeightR = 1.0f, WeightG = 1.0f, WeightB = 1.0f;

    // For trees of up to 8 levels: bit (level - 1) of PathR[v] is the half
    // red value v takes at that level (likewise green, blue), as the halving
    // of the boxes gives it.
    static constexpr int32_t kTabledLevels = 8;
    std::array<uint8_t, 256> PathR{}, PathG{}, PathB{};
};
