// The same bits on every platform and path: the battery's outputs, hashed,
// against the one hash that the correctly rounded reference gives
// (kestrow_battery_reference_test.cpp).  No MPFR here: this runs on every
// platform the kernel is built for.
#include "column_gaussian.h"
#include "kestrow_battery.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string hex(std::uint64_t v)
{
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << std::setw(16) << std::setfill('0') << v;
    return s.str();
}

TEST(kestrowBits, BatteryHashIsTheSameOnEveryPath)
{
    const std::vector<kestrow_battery::Call> calls = kestrow_battery::battery();
    std::string ran;
    for (crexp::Isa isa : crexp::kAllIsas) {
        if (!crexp::isaSupported(isa)) {
            continue;
        }
        ran += std::string(" ") + crexp::isaName(isa);
        portable_bits::Fnv1a hash;
        for (const kestrow_battery::Call &c : calls) {
            std::vector<double> out(static_cast<std::size_t>(c.N));
            kestrow::evalColumnGaussianOn(isa, c.X.data(), c.D, c.N, c.MU.data(), c.IS.data(), c.K, out.data());
            hash.add(out);
        }
        EXPECT_EQ(hex(hash.value()), hex(kestrow_battery::kBatteryHash)) << crexp::isaName(isa);
    }
    std::cout << "[          ] paths hashed:" << ran << std::endl;
}

}  // namespace
