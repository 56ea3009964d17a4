// The evaluator on an X of more than 2^31 - 1 elements: the element index
// c*D + k must not wrap in 32 bits.
//
// X (2 by 2^30 + 1, 16 GiB) and out (8 GiB) are address ranges in which every
// page but the last maps one small shared tile of a memory file, so they cost
// a few MiB of memory whatever their size; the last page of each is private
// and holds the column that is checked.
#include "column_gaussian.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

class AliasedRange {
public:
    // `bytes` of address space; all but the last page alias one tile.
    explicit AliasedRange(std::size_t bytes)
    {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t tile = 512 * page;
        bytes_ = (bytes + page - 1) / page * page;
        const std::size_t last = bytes_ - page;
        void *base = mmap(nullptr, bytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (base == MAP_FAILED) {
            return;
        }
        base_ = static_cast<char *>(base);
        const int fd = memfd_create("aliased-tile", 0);
        bool ok = fd >= 0 && ftruncate(fd, static_cast<off_t>(tile)) == 0;
        for (std::size_t at = 0; ok && at < last; at += tile) {
            ok = mmap(base_ + at, std::min(tile, last - at), PROT_READ | PROT_WRITE,
                      MAP_SHARED | MAP_FIXED | MAP_POPULATE, fd, 0) != MAP_FAILED;
        }
        if (fd >= 0) {
            close(fd);
        }
        ok = ok && mmap(base_ + last, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED | MAP_ANONYMOUS, -1,
                        0) != MAP_FAILED;
        ready_ = ok;
    }
    ~AliasedRange()
    {
        if (base_) {
            munmap(base_, bytes_);
        }
    }
    AliasedRange(const AliasedRange &) = delete;
    AliasedRange &operator=(const AliasedRange &) = delete;

    bool ready() const { return ready_; }
    double *doubles() const { return reinterpret_cast<double *>(base_); }

private:
    char *base_ = nullptr;
    std::size_t bytes_ = 0;
    bool ready_ = false;
};

std::uint64_t bitsOf(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

TEST(kestrowLarge, ColumnsBeyondThe32BitElementRangeAreAddressedExactly)
{
    const std::int32_t D = 2;
    const std::int32_t N = (1 << 30) + 1;  // D*N = 2^31 + 2 elements
    const std::size_t elements = std::size_t{2} * static_cast<std::size_t>(N);
    AliasedRange X(elements * sizeof(double));
    AliasedRange out(static_cast<std::size_t>(N) * sizeof(double));
    ASSERT_TRUE(X.ready() && out.ready()) << "could not map the ranges";

    // Every column is 0 but the last, which is (1, 0); its result lies in the
    // private last page of out.
    X.doubles()[elements - 2] = 1.0;
    X.doubles()[elements - 1] = 0.0;
    out.doubles()[N - 1] = -12345.0;
    const double MU[2] = {0.0, 0.0};
    const double IS[4] = {2.0, 0.0, 0.0, 2.0};

    kestrow::evalColumnGaussian(X.doubles(), D, N, MU, IS, 1.5, out.doubles());

    // d = (1, 0): q = 2, value exp(2 * -0.5) * 1.5.
    EXPECT_EQ(bitsOf(out.doubles()[N - 1]), bitsOf(std::exp(2.0 * -0.5) * 1.5));
    // The column before it is 0, so its value is K; it lands in the shared
    // tile, which every other column wrote with the same value.
    EXPECT_EQ(out.doubles()[N - 2], 1.5);
}

}  // namespace
