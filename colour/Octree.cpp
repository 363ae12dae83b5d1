// The octree colour quantizer behind cPal8bpp::CreateOptimal.

#include "Octree.h"

#include "Arithmetic.h"
#include "RowView.h"
#include "cDIB.h"
#include "cError.h"
#include "cPal8bpp.h"

namespace {

constexpr int32_t kInitialNodes = 50;

// Halves the box [lo, hi] of one channel and says which half the weighted
// value falls in. A value equal to the midpoint goes to the lower half; the
// weight scales the value, never the box.
int32_t HalfBit(int32_t& lo, int32_t& hi, uint8_t value, float weight) {
    const int32_t mid = RoundHalfEven(lo / 2.0 + hi / 2.0);
    const float weighted = static_cast<float>(value) * weight;
    if (weighted > static_cast<float>(mid)) {
        lo = mid;
        return 1;
    }
    hi = mid;
    return 0;
}

// The half-bits of every value of one channel down the first eight levels:
// the box a value is in at a level depends on the value alone, so its path
// can be worked out once for all the pixels of a palette.
std::array<uint8_t, 256> HalfBitPaths(float weight) {
    std::array<uint8_t, 256> paths{};
    for (int32_t v = 0; v < 256; ++v) {
        int32_t lo = 0, hi = 255;
        for (int32_t level = 1; level <= OctreeState::kTabledLevels; ++level)
            paths[v] |= static_cast<uint8_t>(HalfBit(lo, hi, static_cast<uint8_t>(v), weight)
                                             << (level - 1));
    }
    return paths;
}

}  // namespace

void OctreeState::Reset(int32_t nLevels, float RWeight, float GWeight, float BWeight) {
    WeightR = RWeight;
    WeightG = GWeight;
    WeightB = BWeight;
    Nodes.assign(kInitialNodes + 1, OctreeNode{});
    ReducibleLists.fill(0);
    if (nLevels < 0 || nLevels > 255) throw cError::Overflow();
    MaxLevel = static_cast<uint8_t>(nLevels);
    NodeCount = 1;
    FreeList = 0;
    LeafCount = 0;
    if (MaxLevel >= 1 && MaxLevel <= kTabledLevels) {
        PathR = HalfBitPaths(RWeight);
        PathG = HalfBitPaths(GWeight);
        PathB = HalfBitPaths(BWeight);
    }
}

OctreeNode& OctreeState::Node(int32_t number) {
    if (number < 1 || number > LastNodeNumber()) throw cError::Subscript();
    return Nodes[number];
}

int32_t& OctreeState::ReducibleList(int32_t depth) {
    if (depth < 1 || depth > static_cast<int32_t>(ReducibleLists.size())) throw cError::Subscript();
    return ReducibleLists[depth - 1];
}

void OctreeState::AddColor(uint8_t R, uint8_t G, uint8_t B) {
    int32_t rMin = 0, rMax = 255, gMin = 0, gMax = 255, bMin = 0, bMax = 255;
    const bool tabled = MaxLevel >= 1 && MaxLevel <= kTabledLevels;
    const int32_t pathR = PathR[R], pathG = PathG[G], pathB = PathB[B];
    int32_t node = 1;
    // level is the depth of the child about to be chosen.
    for (int32_t level = 1;; ++level) {
        int32_t slot;
        if (tabled) {
            const int32_t shift = level - 1;
            slot =
                ((pathR >> shift) & 1) | ((pathG >> shift) & 1) << 1 | ((pathB >> shift) & 1) << 2;
        } else {
            const int32_t r = HalfBit(rMin, rMax, R, WeightR);
            const int32_t g = HalfBit(gMin, gMax, G, WeightG);
            const int32_t b = HalfBit(bMin, bMax, B, WeightB);
            slot = r + 2 * g + 4 * b;
        }

        int32_t child = Node(node).Children[slot];
        if (child == 0) {
            // Allocation may grow the table, so no node reference is held across it.
            child = AllocateNode();
            Node(node).Children[slot] = child;
            OctreeNode& fresh = Node(child);
            fresh.IsLeaf = (level == MaxLevel);
            fresh.PixelCount = 0;
            fresh.SumR = fresh.SumG = fresh.SumB = 0;
            fresh.NextNode = 0;
        }

        OctreeNode& c = Node(child);
        if (c.IsLeaf) {
            if (c.PixelCount == 0) LeafCount = CheckedAdd(LeafCount, 1);
            c.PixelCount = CheckedAdd(c.PixelCount, 1);
            c.SumR = CheckedAdd(c.SumR, R);
            c.SumG = CheckedAdd(c.SumG, G);
            c.SumB = CheckedAdd(c.SumB, B);
            return;
        }
        if (!c.IsListed) {
            int32_t& head = ReducibleList(level);
            c.NextNode = head;
            head = child;
            c.IsListed = true;
        }
        node = child;
    }
}

bool OctreeState::ReduceTree() {
    int32_t depth = MaxLevel;
    while (depth >= 1 && ReducibleList(depth) == 0) --depth;
    if (depth < 1) return false;

    int32_t& head = ReducibleList(depth);
    const int32_t node = head;
    head = Node(node).NextNode;

    int32_t sumR = 0, sumG = 0, sumB = 0, count = 0;
    for (int32_t slot = 0; slot < 8; ++slot) {
        const int32_t child = Node(node).Children[slot];
        if (child == 0) continue;
        const OctreeNode& c = Node(child);
        sumR = CheckedAdd(sumR, c.SumR);
        sumG = CheckedAdd(sumG, c.SumG);
        sumB = CheckedAdd(sumB, c.SumB);
        count = CheckedAdd(count, c.PixelCount);
        ReleaseNode(child);
        LeafCount = CheckedSub(LeafCount, 1);
        Node(node).Children[slot] = 0;
    }

    LeafCount = CheckedAdd(LeafCount, 1);
    OctreeNode& merged = Node(node);
    merged.PixelCount = count;
    merged.SumR = sumR;
    merged.SumG = sumG;
    merged.SumB = sumB;
    merged.IsLeaf = true;
    return true;
}

int32_t OctreeState::AllocateNode() {
    NodeCount = CheckedAdd(NodeCount, 1);
    if (FreeList != 0) {
        // Released nodes are reused last-released first.
        const int32_t node = FreeList;
        OctreeNode& n = Node(node);
        FreeList = n.NextNode;
        n.Children.fill(0);
        return node;
    }
    if (NodeCount > LastNodeNumber()) {
        const int32_t last = RoundHalfEven(NodeCount * 1.1);
        Nodes.resize(static_cast<size_t>(last) + 1);
    }
    return NodeCount;
}

void OctreeState::ReleaseNode(int32_t node) {
    OctreeNode& n = Node(node);
    n.NextNode = FreeList;
    FreeList = node;
    n.IsLeaf = false;
    n.IsListed = false;
    NodeCount = CheckedSub(NodeCount, 1);
}

void cPal8bpp::CreateOptimal(const cDIB& oDIB32, int32_t nColors, int32_t nLevels, float RWeight,
                             float GWeight, float BWeight) {
    if (oDIB32.BPP() != 32) return;
    if (!octree_) octree_ = std::make_unique<OctreeState>();
    OctreeState& tree = *octree_;
    tree.Reset(nLevels, RWeight, GWeight, BWeight);

    // Pixels in memory order: the bottom row of the picture first, each row left to right.
    const int32_t width = oDIB32.Width();
    const int32_t height = oDIB32.Height();
    const RowView<uint8_t> rows = oDIB32.Rows();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* px = rows.MemoryRow(y);
        for (int32_t x = 0; x < width; ++x, px += 4) {
            tree.AddColor(px[2], px[1], px[0]);
            // Reducing after every pixel bounds the tree by nColors leaves.
            while (tree.LeafCount > nColors)
                if (!tree.ReduceTree()) break;
        }
    }

    Initialize(0);
    int32_t k = 0;
    for (int32_t j = 1; j <= tree.LastNodeNumber(); ++j) {
        const OctreeNode& n = tree.Nodes[j];
        if (!n.IsLeaf) continue;
        if (k > 255) throw cError::Subscript();  // more leaves than a palette holds
        const double count = n.PixelCount;
        const auto e = static_cast<uint8_t>(k);
        rgbR(e, RoundToByte(n.SumR / count));
        rgbG(e, RoundToByte(n.SumG / count));
        rgbB(e, RoundToByte(n.SumB / count));
        ++k;
    }
    Entries(static_cast<int16_t>(k));
    BuildLogicalPalette();
}
