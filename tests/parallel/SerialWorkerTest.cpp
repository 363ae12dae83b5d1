#include "SerialWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using parallel::cSerialWorker;

// Steps run one at a time in the order handed over, never more than depth of
// them in hand; WaitFor(n) returns once the first n are done; a step that
// raises stops the steps after it, and its error comes back from the next
// wait or hand-over.
TEST(SerialWorker, RunsStepsInOrderWithAtMostDepthInHand) {
    for (const int depth : {1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << "depth " << depth);
        cSerialWorker worker(depth);
        std::atomic<int> started{0}, finished{0};
        std::vector<int> order;
        constexpr int kSteps = 12;
        for (int i = 0; i < kSteps; ++i) {
            worker.Run([&, i] {
                EXPECT_EQ(started.fetch_add(1), finished.load());  // one at a time
                order.push_back(i);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                finished.fetch_add(1);
            });
            // Handed over: at most depth steps not yet finished.
            EXPECT_LE(i + 1 - finished.load(), depth);
            if (i == 5) {
                worker.WaitFor(4);
                EXPECT_GE(finished.load(), 4);
            }
        }
        worker.Wait();
        EXPECT_EQ(finished.load(), kSteps);
        std::vector<int> expected(kSteps);
        for (int i = 0; i < kSteps; ++i) expected[size_t(i)] = i;
        EXPECT_EQ(order, expected);

        cSerialWorker failing(depth);
        std::atomic<bool> handed{false};
        std::atomic<int> ran{0};
        failing.Run([&] {
            while (!handed) std::this_thread::yield();
            throw std::runtime_error("cut");
        });
        for (int i = 1; i < depth; ++i) failing.Run([&] { ++ran; });  // in hand, never run
        handed = true;
        EXPECT_THROW(failing.Wait(), std::runtime_error);
        EXPECT_THROW(failing.Run([&] { ++ran; }), std::runtime_error);
        EXPECT_THROW(failing.WaitFor(1), std::runtime_error);
        EXPECT_EQ(ran.load(), 0);
    }
}

}  // namespace
