#include "BrowserCore/Secrets/TOTP.h"

#include <gtest/gtest.h>

using namespace vesk;

namespace {

std::chrono::system_clock::time_point atSecond(double seconds) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::duration<double>(seconds)));
}

// "12345678901234567890", the key of the RFC 6238 SHA-1 vectors.
constexpr const char* rfcSecret = "GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ";

std::vector<std::uint8_t> keyOf(std::string_view text) {
    auto totp = TOTP::parse(text);
    return totp ? totp->key() : std::vector<std::uint8_t>{};
}

} // namespace

TEST(TOTP, ReproducesTheRFC6238SHA1Vectors) {
    auto totp = TOTP::parse(rfcSecret);
    ASSERT_TRUE(totp);
    EXPECT_EQ(totp->key(), std::vector<std::uint8_t>({'1', '2', '3', '4', '5', '6', '7', '8', '9', '0',
                                                      '1', '2', '3', '4', '5', '6', '7', '8', '9', '0'}));
    EXPECT_EQ(totp->code(atSecond(59)), "287082");
    EXPECT_EQ(totp->code(atSecond(1111111109)), "081804");  // leading zero kept
    EXPECT_EQ(totp->code(atSecond(1111111111)), "050471");
    EXPECT_EQ(totp->code(atSecond(1234567890)), "005924");
    EXPECT_EQ(totp->code(atSecond(2000000000)), "279037");
    // The vector at 20000000000 s lies beyond what the system clock's
    // nanosecond time points can hold.
}

TEST(TOTP, AStepBeginsExactlyOnAMultipleOfThirtySeconds) {
    auto totp = TOTP::parse(rfcSecret);
    ASSERT_TRUE(totp);
    // 1111111110 = 30 × 37037037: 1111111109 lies in the step before it.
    EXPECT_EQ(totp->code(atSecond(1111111110)), totp->code(atSecond(1111111111)));
    EXPECT_EQ(totp->code(atSecond(1111111109.999)), "081804");
    EXPECT_NE(totp->code(atSecond(1111111109.999)), totp->code(atSecond(1111111110)));
}

TEST(TOTP, ReadsBareKeysLeniently) {
    auto plain = keyOf("JBSWY3DPEHPK3PXP");
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(keyOf("jbswy3dpehpk3pxp"), plain);
    EXPECT_EQ(keyOf("JBSW Y3DP EHPK 3PXP"), plain);
    EXPECT_EQ(keyOf("JBSWY3DPEHPK3PXP===="), plain);
    EXPECT_EQ(keyOf("\n  JBSWY3DPEHPK3PXP \t\n\n"), plain);
    // Bits that do not fill a byte are dropped: 10 characters give 6 bytes.
    EXPECT_EQ(base32Decode("AAAAAAAAAB")->size(), 6u);

    for (const char* bad : {"JBSW=Y3DP", "JBSWY3DPEHPK3PX0", "JBSWY3DPEHPK3PX1", "JBSWY3DPEHPK3PX8",
                            "JBSWY3DPEHPK3PX9", "JBSW-Y3DP", "JBSW\tY3DP", "JBSW\nY3DP", "", "   ", "===="}) {
        EXPECT_FALSE(TOTP::parse(bad)) << bad;
    }
}

TEST(TOTP, ReadsOnlyOtpauthURIsOfTheDefaultKind) {
    auto plain = keyOf("JBSWY3DPEHPK3PXP");
    EXPECT_EQ(keyOf("otpauth://totp/Shop:ann@example.com?secret=JBSWY3DPEHPK3PXP&issuer=Shop"), plain);
    EXPECT_EQ(keyOf("OTPAUTH://TOTP/X?SECRET=JBSWY3DPEHPK3PXP&ALGORITHM=SHA1&DIGITS=6&PERIOD=30"), plain);
    EXPECT_EQ(keyOf("otpauth://totp/X?secret=JBSWY3DPEHPK3PXP&algorithm=sha1"), plain);
    EXPECT_EQ(keyOf("  otpauth://totp/X?secret=JBSW%20Y3DP%20EHPK%203PXP\n"), plain);
    // The first item of a name decides; an item without "=" is absent.
    EXPECT_EQ(keyOf("otpauth://totp/X?secret=JBSWY3DPEHPK3PXP&digits=6&digits=8"), plain);
    EXPECT_FALSE(TOTP::parse("otpauth://totp/X?secret&secret=JBSWY3DPEHPK3PXP"));

    for (const char* bad : {
             "otpauth://totp/X?secret=JBSWY3DPEHPK3PXP&algorithm=SHA256",
             "otpauth://totp/X?secret=JBSWY3DPEHPK3PXP&digits=8",
             "otpauth://totp/X?secret=JBSWY3DPEHPK3PXP&digits=06",
             "otpauth://totp/X?secret=JBSWY3DPEHPK3PXP&period=60",
             "otpauth://hotp/X?secret=JBSWY3DPEHPK3PXP&counter=1",
             "otpauth://totp/X?issuer=Shop",
             "otpauth://totp/X?secret=",
             "otpauth://totp/My Shop?secret=JBSWY3DPEHPK3PXP",  // no URI with a space
             "otpauth://totp/X?secret=JB%zzSW",
             "https://totp/X?secret=JBSWY3DPEHPK3PXP",
             "otpauth:JBSWY3DPEHPK3PXP",
         }) {
        EXPECT_FALSE(TOTP::parse(bad)) << bad;
    }
}
