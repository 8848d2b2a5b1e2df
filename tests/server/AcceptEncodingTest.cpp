// Which coding a response goes in for the Accept-Encoding fields clients send.
#include <gtest/gtest.h>

#include "WebServer/AcceptEncoding.h"

namespace {

TEST(AcceptEncoding, ChoosesTheCodingTheClientWeighsMostIfAboveZeroAndNotBelowIdentity) {
    constexpr ContentCoding kGzip = ContentCoding::Gzip;
    constexpr ContentCoding kBrotli = ContentCoding::Brotli;
    constexpr ContentCoding kPlain = ContentCoding::Identity;
    const std::pair<std::optional<std::string>, ContentCoding> cases[] = {
        {std::nullopt, kPlain},
        {"", kPlain},
        {"gzip", kGzip},
        {"gzip, deflate, br, zstd", kBrotli},
        {"gzip, deflate", kGzip},
        {"BR", kBrotli},
        {"br;q=0.5, gzip", kGzip},
        {"br, gzip;q=0.9", kBrotli},
        {"br;q=0, gzip", kGzip},
        {"br, identity;q=1, *;q=0", kBrotli},
        {"br;q=0.4, identity;q=0.5", kPlain},
        {"br, br;q=0", kPlain},
        {"GZIP", kGzip},
        {"x-gzip", kGzip},
        {"deflate, zstd", kPlain},
        {"gzip;q=0", kPlain},
        {"gzip; q=0.000", kPlain},
        {"gzip;Q=0.001", kGzip},
        {"gzip;q=0.8", kGzip},  // identity, unnamed, weighs less
        {"gzip;q=0.5, identity", kPlain},
        {"gzip, identity;q=0.5", kGzip},
        {"identity;q=0", kPlain},  // refused, but gzip is not offered either
        {"*", kGzip},              // brotli only when named
        {"*;q=0", kPlain},
        {"*;q=0.5, gzip;q=0", kPlain},
        {"gzip;q=0, *", kPlain},
        {"gzip, gzip;q=0", kPlain},  // repeated fields, joined
        {"br;q=0.9, gzip;q=1.0", kGzip},
        {"gzip;q=1.001", kPlain},
        {"gzip;q=2", kPlain},
        {"gzip;q=.5", kPlain},
        {"gzip;q=0.5555", kPlain},
        {"gzip;q=", kPlain},
        {"gzip;level=9", kGzip},
        {"gzip;level=9;q=0", kPlain},
        {" \t gzip \t ", kGzip},
        {",,,gzip,,", kGzip},
        {"gzipx", kPlain},
        {"g zip", kPlain},
        {std::string("gzip\0", 5), kPlain},
    };
    for (const auto& [field, expected] : cases) {
        EXPECT_EQ(ChooseCoding(field), expected) << field.value_or("(no field)");
    }
}

}  // namespace
