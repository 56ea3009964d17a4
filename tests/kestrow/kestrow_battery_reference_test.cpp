// The portable battery against the correctly rounded reference (MPFR), once,
// natively: every value is exp of the argument the fixed order of operations
// gives, correctly rounded, times K, and every NaN is the canonical one.  The
// reference's hash is the battery's expected hash, which the portable test
// (kestrow_bits_test.cpp) checks on every platform and path.
#include "column_gaussian.h"
#include "kestrow_battery.h"
#include "kestrow_reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

TEST(kestrowBits, BatteryIsCorrectlyRoundedWithOneNaN)
{
    portable_bits::Fnv1a referenceHash;
    // What the battery reaches, so that it keeps reaching it.
    int nans = 0, infinities = 0, zeros = 0, subnormals = 0;
    for (const kestrow_battery::Call &c : kestrow_battery::battery()) {
        const kestrow_test::Problem &p = c;
        std::vector<double> want = kestrow_test::reference(p);
        for (double &v : want) {
            if (std::isnan(v)) {
                v = portable_bits::fromBits(0x7FF8000000000000u);  // the one NaN kestrow returns
                ++nans;
            } else if (std::isinf(v)) {
                ++infinities;
            } else if (v == 0.0) {
                ++zeros;
            } else if (std::fpclassify(v) == FP_SUBNORMAL) {
                ++subnormals;
            }
        }
        referenceHash.add(want);
        std::vector<double> got(static_cast<std::size_t>(c.N));
        kestrow::evalColumnGaussianOn(crexp::Isa::Plain, c.X.data(), c.D, c.N, c.MU.data(), c.IS.data(), c.K,
                                      got.data());
        ASSERT_EQ(kestrow_test::bits(got), kestrow_test::bits(want)) << "D=" << c.D << " N=" << c.N;
    }
    const auto hex = [](std::uint64_t v) {
        std::ostringstream s;
        s << "0x" << std::hex << std::uppercase << std::setw(16) << std::setfill('0') << v;
        return s.str();
    };
    std::cout << "[          ] reference hash " << hex(referenceHash.value()) << ": " << nans << " NaN, "
              << infinities << " inf, " << zeros << " zero, " << subnormals << " subnormal" << std::endl;
    EXPECT_EQ(hex(referenceHash.value()), hex(kestrow_battery::kBatteryHash));
    EXPECT_GT(nans, 0);
    EXPECT_GT(infinities, 0);
    EXPECT_GT(zeros, 0);
    EXPECT_GT(subnormals, 0);
}

}  // namespace
