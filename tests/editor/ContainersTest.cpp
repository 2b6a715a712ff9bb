// Gap buffer and line partitioning against naive models under random edits.
#include "editor/Partitioning.h"
#include "editor/SplitVector.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace quillet;

TEST(SplitVector, RandomEditsMatchVector) {
    std::mt19937 rng(7);
    TSplitVector<int> sv;
    std::vector<int> model;
    for (int step = 0; step < 20000; ++step) {
        int op = rng() % 4;
        int len = static_cast<int>(model.size());
        if (op < 2 || len == 0) {
            int pos = rng() % (len + 1);
            int v = static_cast<int>(rng());
            sv.Insert(pos, v);
            model.insert(model.begin() + pos, v);
        } else if (op == 2) {
            int pos = rng() % len;
            int n = std::min<int>(len - pos, rng() % 5);
            sv.DeleteRange(pos, n);
            model.erase(model.begin() + pos, model.begin() + pos + n);
        } else {
            int pos = rng() % (len + 1);
            int n = rng() % 4;
            sv.InsertEmpty(pos, n);
            model.insert(model.begin() + pos, n, 0);
        }
        ASSERT_EQ(sv.Length(), static_cast<int>(model.size()));
        if (step % 97 == 0) {
            for (int i = 0; i < sv.Length(); ++i) {
                ASSERT_EQ(sv[i], model[i]) << "step " << step << " index " << i;
            }
        }
    }
}

TEST(SplitVector, OwnedElementsAreReleasedOnDelete) {
    TSplitVector<std::unique_ptr<std::string>> sv;
    auto p = std::make_unique<std::string>("x");
    std::weak_ptr<int> probe;
    auto shared = std::make_shared<int>(1);
    probe = shared;
    TSplitVector<std::shared_ptr<int>> sp;
    sp.Insert(0, std::move(shared));
    sp.Insert(0, nullptr);
    EXPECT_FALSE(probe.expired());
    sp.Delete(1);
    EXPECT_TRUE(probe.expired());
    sv.Insert(0, std::move(p));
    EXPECT_EQ(*sv[0], "x");
}

namespace {
// Naive model: explicit start offsets.
struct TNaive {
    std::vector<int> Starts{0, 0};
    int Find(int pos) const {
        int n = static_cast<int>(Starts.size()) - 1;
        for (int i = n - 1; i > 0; --i)
            if (Starts[i] <= pos) return i;
        return 0;
    }
};
} // namespace

TEST(Partitioning, RandomEditsMatchNaiveStarts) {
    std::mt19937 rng(11);
    TPartitioning part;
    TNaive naive;
    for (int step = 0; step < 20000; ++step) {
        int parts = static_cast<int>(naive.Starts.size()) - 1;
        int op = rng() % 5;
        if (op <= 1) { // text inside a partition
            int p = rng() % parts;
            int size = naive.Starts[p + 1] - naive.Starts[p];
            int delta = static_cast<int>(rng() % 9) - 2;
            if (delta < -size) delta = -size;
            part.InsertText(p, delta);
            for (size_t i = p + 1; i < naive.Starts.size(); ++i)
                naive.Starts[i] += delta;
        } else if (op <= 3) { // split a partition
            int p = rng() % parts;
            int lo = naive.Starts[p], hi = naive.Starts[p + 1];
            int pos = lo + static_cast<int>(rng() % (hi - lo + 1));
            part.InsertPartition(p + 1, pos);
            naive.Starts.insert(naive.Starts.begin() + p + 1, pos);
        } else if (parts > 1) { // join two partitions
            int p = 1 + static_cast<int>(rng() % (parts - 1));
            part.RemovePartition(p);
            naive.Starts.erase(naive.Starts.begin() + p);
        }
        parts = static_cast<int>(naive.Starts.size()) - 1;
        ASSERT_EQ(part.Partitions(), parts);
        // Lookups jump about between edits, so a remembered answer is often stale.
        int end = naive.Starts.back();
        int probe = static_cast<int>(rng() % static_cast<unsigned>(end + 2)) - 1;
        ASSERT_EQ(part.PartitionFromPosition(probe), probe < 0 ? 0 : naive.Find(probe))
            << "step " << step << " pos " << probe;
        if (step % 53 == 0) {
            for (int i = 0; i <= parts; ++i)
                ASSERT_EQ(part.PositionFromPartition(i), naive.Starts[i]) << "step " << step;
            for (int pos = 0; pos <= end; pos += 1 + end / 50)
                ASSERT_EQ(part.PartitionFromPosition(pos), naive.Find(pos)) << "pos " << pos;
        }
    }
}

TEST(Partitioning, PositionsPastTheEndMapToTheLastPartition) {
    TPartitioning part;
    part.InsertText(0, 10);
    part.InsertPartition(1, 4);
    EXPECT_EQ(part.PartitionFromPosition(3), 0);
    EXPECT_EQ(part.PartitionFromPosition(4), 1);
    EXPECT_EQ(part.PartitionFromPosition(10), 1);
    EXPECT_EQ(part.PartitionFromPosition(1000), 1);
    EXPECT_EQ(part.PositionFromPartition(2), 10);
}
