// What a recording keeps of a value the person typed.

#include "BrowserCore/Recorders/TypedValueMask.h"

#include <gtest/gtest.h>

using namespace vesk;

TEST(TypedValueMask, AWholeValueBecomesItsNameTheFirstNameWinningOnEqualValues) {
    std::map<std::string, std::string> values{{"ZIP", "1000"}, {"CODE", "1000"}, {"CITY", "Bern"}};
    EXPECT_EQ(maskTypedValue("1000", false, values), "${CODE}");
    EXPECT_EQ(maskTypedValue("Bern", false, values), "${CITY}");
    EXPECT_EQ(maskTypedValue("bern", false, values), "bern") << "case-sensitive";
    EXPECT_EQ(maskTypedValue("Zürich", false, values), "Zürich");
    EXPECT_EQ(maskTypedValue("", false, {{"EMPTY", ""}}), "") << "an empty value masks nothing";
}

TEST(TypedValueMask, APasswordFieldKeepsOnlyAStoredValueOrThePasswordReference) {
    std::map<std::string, std::string> values{{"bank.password", "s3cret!"}, {"bank.user", "ann"}, {"bank.otp", "123456"}};
    EXPECT_EQ(maskTypedValue("s3cret!", true, values), "${bank.password}");
    EXPECT_EQ(maskTypedValue("123456", true, values), "${bank.otp}");
    EXPECT_EQ(maskTypedValue("something else", true, values), "${PASSWORD}");
    EXPECT_EQ(maskTypedValue("my s3cret! here", true, values), "${PASSWORD}");
    EXPECT_EQ(maskTypedValue("", true, {}), "${PASSWORD}");
}

TEST(TypedValueMask, ValuesInsideALongerTextAreReplacedLongestFirst) {
    std::map<std::string, std::string> values{{"HOST", "example.org"},
                                              {"EMAIL", "ann@example.org"},
                                              {"PIN", "042"},
                                              {"bank.otp", "654321"},
                                              {"ÉTÉ", "été!"}};
    EXPECT_EQ(maskTypedValue("write to ann@example.org or bob@example.org", false, values),
              "write to ${EMAIL} or bob@${HOST}");
    EXPECT_EQ(maskTypedValue("pin 042", false, values), "pin 042") << "three characters mask only a whole text";
    EXPECT_EQ(maskTypedValue("042", false, values), "${PIN}");
    EXPECT_EQ(maskTypedValue("code 654321", false, values), "code 654321") << "a code inside a text stays";
    EXPECT_EQ(maskTypedValue("654321", false, values), "${bank.otp}");
    // Four user-perceived characters, more bytes.
    EXPECT_EQ(maskTypedValue("un été! chaud", false, values), "un ${ÉTÉ} chaud");
}

TEST(TypedValueMask, AShorterValueIsNeverFoundInsideAReference) {
    // "admin" is a value and also part of a credential's name: the name that
    // replaced the password must stay whole, and so must one typed as written.
    std::map<std::string, std::string> values{{"admin.password", "hunter2hunter2"}, {"USER", "admin"}};
    EXPECT_EQ(maskTypedValue("admin hunter2hunter2", false, values), "${USER} ${admin.password}");
    EXPECT_EQ(maskTypedValue("admin ${admin.password} ${adminX}", false, values),
              "${USER} ${admin.password} ${${USER}X}");
}
