// The soak's leak and memory checks are only as good as these counts: each must see a resource
// appear and go away again.

#include "tests/soak/Probes.h"

#include "tests/support/Pump.h"

#include <QTimer>
#include <QWidget>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

TEST(Probes, OpenFdsAreCounted) {
    const int before = soak::OpenFdCount();
    ASSERT_GT(before, 2); // standard input, output and error at least
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(soak::OpenFdCount(), before + 1);
    ::close(fd);
    EXPECT_EQ(soak::OpenFdCount(), before);
}

TEST(Probes, TheResidentSetFollowsMemoryInUse) {
    if (!soak::ResidentSetFollowsUse) {
        GTEST_SKIP() << "freed memory stays in AddressSanitizer's quarantine";
    }
    const std::uint64_t before = soak::ResidentBytes();
    constexpr std::size_t Size = 64 << 20;
    auto block = std::make_unique<char[]>(Size);
    std::memset(block.get(), 1, Size); // touched, so it is resident
    // The block escapes, so that no optimiser drops a store nobody reads.
    asm volatile("" : : "r"(block.get()) : "memory");
    EXPECT_GT(soak::ResidentBytes(), before + Size / 2);
    EXPECT_GE(soak::PeakResidentBytes(), before + Size / 2);
    block.reset();
    EXPECT_LT(soak::ResidentBytes(), before + Size / 4);
}

// A timer in a widget's object tree counts from its start; one outside every tree (a member,
// an unparented object) counts once it has fired; both stop counting when stopped or deleted.
TEST(Probes, LiveTimersInsideAndOutsideTheObjectTrees) {
    soak::TimerWatch watch;
    testsupport::PumpPending(20ms);
    const int before = watch.LiveTimers();

    QWidget window;
    auto* child = new QTimer(&window);
    child->start(60000);
    EXPECT_EQ(watch.LiveTimers(), before + 1);

    auto loose = std::make_unique<QTimer>();
    int fired = 0;
    QObject::connect(loose.get(), &QTimer::timeout, [&] { ++fired; });
    loose->start(1);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return fired > 0; }, 2s));
    EXPECT_EQ(watch.LiveTimers(), before + 2);

    loose->stop();
    EXPECT_EQ(watch.LiveTimers(), before + 1);
    loose->start(1);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return fired > 1; }, 2s));
    loose.reset(); // deleted while running
    EXPECT_EQ(watch.LiveTimers(), before + 1);
    delete child;
    EXPECT_EQ(watch.LiveTimers(), before);
}

} // namespace
