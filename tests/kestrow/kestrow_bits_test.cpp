// The same bits on every platform and path: the battery's outputs, hashed,
// against the one hash that the correctly rounded reference gives
// (kestrow_battery_reference_test.cpp).  No MPFR here: this runs on every
// platform the kernel is built for.
#include "column_gaussian.h"
#include "kestrow_battery.h"
#include "support/lane_paths.h"

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
    const std::vector<lane_paths::Run> runs = lane_paths::runs();
    for (const lane_paths::Run &run : runs) {
        portable_bits::Fnv1a hash;
        for (const kestrow_battery::Call &c : calls) {
            std::vector<double> out(static_cast<std::size_t>(c.N));
            run.kernel(c.X.data(), c.D, c.N, c.MU.data(), c.IS.data(), c.K, out.data());
            hash.add(out);
        }
        EXPECT_EQ(hex(hash.value()), hex(kestrow_battery::kBatteryHash)) << run.name();
    }
    lane_paths::expectEveryPathRan(runs);
}

}  // namespace
