#include "product/command_params.h"

#include <gtest/gtest.h>

namespace kestrane::product {
namespace {

using K = TParamValueKind;
using support::Variant;

TEST(CommandParameter, TypeFollowsTheValueKind) {
    struct Case {
        K kind;
        Variant value;
        bool oracle;
        int type;
        std::int64_t size;
    } cases[] = {
        {K::SmallInt, Variant(1), false, 2, 0},
        {K::Word, Variant(1), false, 2, 0},
        {K::Integer, Variant(1), false, 3, 0},
        {K::LongWord, Variant(1), false, 3, 0},
        {K::Double, Variant(1.5), false, 5, 0},
        {K::Currency, Variant(1.5), false, 5, 0},
        {K::Decimal, Variant::FromDecimal("1.25"), false, 5, 0},
        {K::Date, Variant::FromDateTime(45000), false, 135, 0},
        {K::WideText, Variant("中文"), false, 202, 2},
        {K::WideText, Variant(std::string(2001, 'w')), false, 203, 2001},
        {K::Boolean, Variant(true), false, 11, 0},
        {K::Boolean, Variant(true), true, 16, 0},
        {K::Byte, Variant(7), true, 16, 0},
        {K::Int64, Variant(std::int64_t{1} << 40), false, 20, 0},
        {K::Text, Variant("中文"), false, 200, 4},  // code page 936 bytes
        {K::Text, Variant(std::string(4000, 't')), false, 200, 4000},
        {K::Text, Variant(std::string(4001, 't')), false, 201, 4001},
        {K::ByteArray, Variant(support::Bytes{1, 2}), false, 205, -1},
        {K::Other, Variant(), false, 0, 0},
    };
    for (const auto& k : cases) {
        const db::Parameter p = MakeCommandParameter(k.kind, k.value, k.oracle);
        EXPECT_EQ(p.Type, k.type) << static_cast<int>(k.kind);
        EXPECT_EQ(p.Size, k.size) << static_cast<int>(k.kind);
        EXPECT_EQ(p.Value, k.value);
    }
}

TEST(CommandParameter, KindOfAVariant) {
    struct Case {
        Variant value;
        int type;
    } cases[] = {
        {Variant(-2147483647 - 1), 3},
        {Variant(std::int64_t{2147483648}), 20},
        {Variant(2.0), 5},
        {Variant("t"), 200},
        {Variant(false), 11},
        {Variant(support::Bytes{9}), 205},
        {Variant(support::Bytes{}), 0},  // an empty byte string goes as an empty value
        {Variant::Null(), 0},
    };
    for (const auto& k : cases)
        EXPECT_EQ(MakeCommandParameter(k.value, false).Type, k.type) << k.value.AsString();
    EXPECT_TRUE(MakeCommandParameter(Variant(support::Bytes{}), false).Value.IsEmpty());
}

}  // namespace
}  // namespace kestrane::product
