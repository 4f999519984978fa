// The checked build's instruments end the program where an error would
// otherwise pass silently. Each snippet runs in a child process (a death
// test), which must end with the status the instrument gives: an illegal
// instruction for an undefined-behaviour trap and a smashed stack, abort()'s
// status 3 for a failed standard-library precondition.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// Kept out of line, fed from and into volatile values, so that the compiler
// can neither see the error nor drop the call. (GCC's stack protector ends in
// the same trap instruction after writing its message to the console, which
// a death test does not capture.)
__attribute__((noinline)) int addOne(int value)
{
    return value + 1;
}

__attribute__((noinline)) int elementAt(const std::vector<int> &values, size_t index)
{
    return values[index];
}

__attribute__((noinline)) void fill(char *buffer, size_t count)
{
    std::memset(buffer, 'x', count);
}

__attribute__((noinline)) int smashStack(size_t count)
{
    char buffer[16];
    fill(buffer, count);
    return buffer[0];
}

volatile int gLargest = INT_MAX;
volatile int gResult;
volatile size_t gPastTheEnd = 3;
volatile size_t gTooLong = 256;

constexpr int kIllegalInstruction = static_cast<int>(STATUS_ILLEGAL_INSTRUCTION);
constexpr int kAbortStatus = 3;

TEST(CheckedBuildDeathTest, SignedOverflowTraps)
{
    EXPECT_EXIT(gResult = addOne(gLargest), ::testing::ExitedWithCode(kIllegalInstruction), "");
}

TEST(CheckedBuildDeathTest, IndexPastTheEndOfAVectorAborts)
{
    const std::vector<int> values(3);
    EXPECT_EXIT(gResult = elementAt(values, gPastTheEnd), ::testing::ExitedWithCode(kAbortStatus), "__n < this->size");
}

TEST(CheckedBuildDeathTest, SmashedStackTraps)
{
    EXPECT_EXIT(gResult = smashStack(gTooLong), ::testing::ExitedWithCode(kIllegalInstruction), "");
}

} // namespace
