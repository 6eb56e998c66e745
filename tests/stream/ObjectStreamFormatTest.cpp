// The object stream byte for byte: tags, the text rule, omission, floats, containers.
#include "core/records/TDiskConfigFile.h"
#include "core/stream/Extended80.h"
#include "core/stream/ObjectReader.h"
#include "core/stream/ObjectWriter.h"
#include "core/stream/ZlibContainer.h"
#include "support/StreamBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace drivlet;
using drivlet::test::StreamBytes;

namespace {

// A record with one property of every kind, to exercise the writer's rules in isolation.
class TProbe final : public TSaveLoadComponent {
public:
    std::string Text;
    TStringList Items;
    int32_t Number = 0;
    int64_t Big = 0;
    bool Flag = false;
    bool FlagWithDefault = true;
    double When = 0;
    uint8_t Small = 1;

    std::string_view ClassName() const override { return "TProbe"; }
    void DefineProperties(PropertyList& list) override {
        TSaveLoadComponent::DefineProperties(list);
        list.Text("Text", Text);
        list.Strings("Items", Items);
        list.Integer("Number", Number, 0);
        list.Int64("Big", Big);
        list.Boolean("Flag", Flag);
        list.Boolean("FlagWithDefault", FlagWithDefault, true);
        list.DateTime("When", When);
        list.Byte("Small", Small, 1);
    }
};

std::vector<uint8_t> Written(TPersistent& p) {
    return WriteObjectStream(p);
}

// The bytes that follow the header and the "Flag" record of a probe.
std::vector<uint8_t> Tail(const std::vector<uint8_t>& stream) {
    const size_t header = 4 + 1 + 6 + 1;
    return {stream.begin() + header, stream.end()};
}

} // namespace

TEST(ObjectStreamFormat, WorkedExampleIs53BytesAndSurvivesTheContainer) {
    TDiskConfigFile config;
    config.PCList.Add("1A2B - 3C4D");
    const std::vector<uint8_t> expected =
        StreamBytes().Header("TDiskConfigFile").List("PCList.Strings", {"1A2B - 3C4D"}).End().bytes;
    ASSERT_EQ(expected.size(), 53u);
    EXPECT_EQ(Written(config), expected);

    const std::vector<uint8_t> packed = config.SaveCompressedToField();
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(packed[0], 0x78);
    EXPECT_EQ(packed[1], 0xDA);
    EXPECT_EQ(ZlibDecompress(packed), expected);
}

TEST(ObjectStreamFormat, IntegersTakeTheNarrowestTag) {
    struct Case {
        int64_t value;
        std::vector<int> bytes;
    } cases[] = {
        {1, {2, 1}},
        {-128, {2, 0x80}},
        {127, {2, 0x7F}},
        {128, {3, 0x80, 0}},
        {-32768, {3, 0, 0x80}},
        {40000, {4, 0x40, 0x9C, 0, 0}},
        {1073741824, {4, 0, 0, 0, 0x40}},
        {2147483648LL, {19, 0, 0, 0, 0x80, 0, 0, 0, 0}},
        {-2147483649LL, {19, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : cases) {
        TProbe p;
        p.Big = c.value;
        StreamBytes expected;
        expected.Name("Big");
        for (int b : c.bytes)
            expected.Raw({b});
        expected.Bool("Flag", false).End();
        EXPECT_EQ(Tail(Written(p)), expected.bytes) << c.value;

        TProbe back;
        ReadObjectStream(Written(p), back);
        EXPECT_EQ(back.Big, c.value);
    }
}

TEST(ObjectStreamFormat, OmissionRules) {
    TProbe p; // empty text and list, zero date, integers and booleans at their declared defaults
    EXPECT_EQ(Tail(Written(p)), StreamBytes().Bool("Flag", false).End().bytes);

    p.FlagWithDefault = false;
    p.Small = 0;
    p.Tag = 5;
    const std::vector<uint8_t> expected = StreamBytes()
                                              .Header("TProbe")
                                              .Int8("Tag", 5)
                                              .Bool("Flag", false)
                                              .Bool("FlagWithDefault", false)
                                              .Int8("Small", 0)
                                              .End()
                                              .bytes;
    EXPECT_EQ(Written(p), expected);
}

TEST(ObjectStreamFormat, TextRuleChoosesTheTag) {
    auto textTag = [](const std::string& text) {
        TProbe p;
        p.Text = text;
        const std::vector<uint8_t> s = Written(p);
        return s[4 + 1 + 6 + 1 + 1 + 4]; // after the header and the name "Text"
    };
    EXPECT_EQ(textTag("Docs"), 6);
    EXPECT_EQ(textTag(std::string(255, 'a')), 6);
    EXPECT_EQ(textTag(std::string(256, 'a')), 12);
    EXPECT_EQ(textTag(std::string(300, 'a')), 12);
    EXPECT_EQ(textTag("/home/alice/Café/"), 20); // UTF-8 shorter than twice the UTF-16 length
    EXPECT_EQ(textTag("é"), 18);                 // 2 bytes is not shorter than 2 x 1
    EXPECT_EQ(textTag("漢字"), 18);              // 6 bytes against 2 characters
    EXPECT_EQ(textTag("Photos 漢字 2010"), 20);

    TProbe p;
    p.Text = "漢字";
    const std::vector<uint8_t> tail = Tail(Written(p));
    const std::vector<uint8_t> expected = StreamBytes()
                                              .Name("Text")
                                              .Raw({18, 2, 0, 0, 0, 0x22, 0x6F, 0x57, 0x5B})
                                              .Bool("Flag", false)
                                              .End()
                                              .bytes;
    EXPECT_EQ(tail, expected);
}

TEST(ObjectStreamFormat, ListItemsNeverTakeTheWideForm) {
    TProbe p;
    p.Items = {"plain", "漢字"};
    const std::vector<uint8_t> expected = StreamBytes()
                                              .Name("Items.Strings")
                                              .Raw({1, 6})
                                              .Short("plain")
                                              .Raw({20, 6, 0, 0, 0, 0xE6, 0xBC, 0xA2, 0xE5, 0xAD, 0x97, 0})
                                              .Bool("Flag", false)
                                              .End()
                                              .bytes;
    EXPECT_EQ(Tail(Written(p)), expected);
    TProbe back;
    ReadObjectStream(Written(p), back);
    EXPECT_EQ(back.Items, p.Items);
}

TEST(ObjectStreamFormat, EightBitTextsFromElsewhereAreWindows1252) {
    const std::vector<uint8_t> s = StreamBytes()
                                       .Header("TProbe")
                                       .Name("Text")
                                       .Raw({6, 5, 'C', 'a', 'f', 0xE9, 0x80})
                                       .Name("Items.Strings")
                                       .Raw({1, 12, 2, 0, 0, 0, 0xFC, 0x9C, 0})
                                       .End()
                                       .bytes;
    TProbe p;
    ReadObjectStream(s, p);
    EXPECT_EQ(p.Text, "Café€");
    ASSERT_EQ(p.Items.Count(), 1u);
    EXPECT_EQ(p.Items[0], "üœ");
}

TEST(ObjectStreamFormat, ExtendedFloatsAreExact) {
    // 2010-08-16 12:00 is 40406.5 days: exponent 15, significand 0x9DD68 << 44.
    EXPECT_EQ(EncodeExtended(40406.5), (Extended80{0, 0, 0, 0, 0, 0x80, 0xD6, 0x9D, 0x0E, 0x40}));
    EXPECT_EQ(EncodeExtended(1.0), (Extended80{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}));
    EXPECT_EQ(EncodeExtended(-2.0), (Extended80{0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0}));
    EXPECT_EQ(EncodeExtended(0.0), (Extended80{}));
    for (double v :
         {40406.5, 40406.123456789, -1.25, 1e-300, 4.9e-324, 1.7976931348623157e308, 2958465.99999})
        EXPECT_EQ(DecodeExtended(EncodeExtended(v)), v) << v;
    EXPECT_TRUE(std::isinf(DecodeExtended(EncodeExtended(std::numeric_limits<double>::infinity()))));
    EXPECT_TRUE(std::isnan(DecodeExtended(EncodeExtended(std::nan("")))));
    // A significand with more than 53 bits rounds to the nearest double: 1 + 2^-63 is 1.
    EXPECT_EQ(DecodeExtended({1, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}), 1.0);
    // Beyond the double range.
    EXPECT_TRUE(std::isinf(DecodeExtended({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0x7F})));
    EXPECT_EQ(DecodeExtended({0, 0, 0, 0, 0, 0, 0, 0x80, 0x01, 0x00}), 0.0);
}

TEST(ObjectStreamFormat, ContainerIgnoresTrailingBytesAndRejectsDamage) {
    std::vector<uint8_t> plain(1000, 'x');
    std::vector<uint8_t> packed = ZlibCompress(plain);
    packed.insert(packed.end(), {1, 2, 3, 4});
    EXPECT_EQ(ZlibDecompress(packed), plain);

    packed.resize(packed.size() - 8); // checksum cut off
    EXPECT_FALSE(ZlibDecompress(packed));
    EXPECT_FALSE(ZlibDecompress(std::vector<uint8_t>{'T', 'P', 'F', '0'}));
    EXPECT_FALSE(ZlibDecompress(std::vector<uint8_t>{}));
    // A bomb that inflates past the limit is refused.
    EXPECT_FALSE(ZlibDecompress(ZlibCompress(std::vector<uint8_t>(5000, 0)), 4096));
}
