// Which bodies are compressed, what their gzip form holds, and their tags.
#include <brotli/decode.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "WebServer/ResponseCompression.h"
#include "WebServer/Validators.h"
#include "tests/support/TestFiles.h"

namespace {

// What a client gets back from the gzip stream.
std::string Gunzip(const SharedBody& body) {
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
    std::string out(1 << 20, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.Bytes.get()));
    stream.avail_in = static_cast<uInt>(body.Size);
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    inflateEnd(&stream);
    return out;
}

std::string Unbrotli(const SharedBody& body) {
    std::string out(1 << 20, '\0');
    size_t size = out.size();
    EXPECT_EQ(BrotliDecoderDecompress(body.Size, reinterpret_cast<const uint8_t*>(body.Bytes.get()),
                                      &size, reinterpret_cast<uint8_t*>(out.data())),
              BROTLI_DECODER_RESULT_SUCCESS);
    out.resize(size);
    return out;
}

TEST(ResponseCompression, CompressesTextTypesOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"text/html", true},
        {"text/css", true},
        {"text/plain", true},
        {"TEXT/HTML; charset=utf-8", true},
        {"application/x-javascript", true},
        {"application/javascript", true},
        {"application/json", true},
        {"application/manifest+json", true},
        {"application/xml", true},
        {"image/svg+xml", true},
        {"application/xhtml+xml ;q", true},
        {"text/", false},
        {"image/png", false},
        {"*/*", false},
        {"application/x-gzip", false},
        {"video/webm", false},
        {"", false},
    };
    for (const auto& [type, compressible] : cases) {
        EXPECT_EQ(IsCompressibleType(type), compressible) << type;
    }
}

TEST(ResponseCompression, CompressesWhatShrinksAndGivesBackTheSameBytes) {
    const std::string text = testing_support::CompressibleText(300000);
    const std::string noise = testing_support::RandomBytes(5000, 3);
    using Decoder = std::string (*)(const SharedBody&);
    for (const auto& [coding, decode] :
         {std::pair<ContentCoding, Decoder>{ContentCoding::Gzip, Gunzip},
          std::pair<ContentCoding, Decoder>{ContentCoding::Brotli, Unbrotli}}) {
        const std::optional<SharedBody> compressed =
            CompressIfSmaller(coding, text.data(), text.size());
        ASSERT_TRUE(compressed);
        EXPECT_LT(compressed->Size, text.size() / 2);
        EXPECT_EQ(decode(*compressed), text);

        EXPECT_FALSE(CompressIfSmaller(coding, noise.data(), noise.size()));
        EXPECT_FALSE(CompressIfSmaller(coding, "ab", 2));
        EXPECT_FALSE(CompressIfSmaller(coding, "", 0));
    }
    EXPECT_FALSE(CompressIfSmaller(ContentCoding::Identity, text.data(), text.size()));
}

TEST(ResponseCompression, EachCodingHasATagOfItsOwn) {
    const ArchiveVersion version{0x1234abcd5678ef00, 0};
    EXPECT_EQ(EntityTagOf(version, 7, ContentCoding::Identity), "\"1234abcd5678ef00-7\"");
    EXPECT_EQ(EntityTagOf(version, 7, ContentCoding::Gzip), "\"1234abcd5678ef00-7-gzip\"");
    EXPECT_EQ(EntityTagOf(version, 7, ContentCoding::Brotli), "\"1234abcd5678ef00-7-br\"");
    EXPECT_FALSE(
        NoneMatchHits("\"1234abcd5678ef00-7\"", EntityTagOf(version, 7, ContentCoding::Gzip)));
}

}  // namespace
