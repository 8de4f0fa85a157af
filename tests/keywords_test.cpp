// SPDX-License-Identifier: MIT
// The keyword table: hashing, case-sensitive lookup, install order.
#include "keywords/keywords.h"

#include <gtest/gtest.h>

#include <random>

#include "elements/elements.h"
#include "reader/context.h"

namespace {

using namespace zelreport;

void HandlerA(Context&, std::string_view) {}
void HandlerB(Context&, std::string_view) {}

TEST(Hash, FoldsCaseAndWrapsModulo101) {
    // N=78, I=73: 78 * 31 + 73 = 2491 = 24 * 101 + 67.
    EXPECT_EQ(hash("ni"), 67u);
    EXPECT_EQ(hash("NI"), 67u);
    // I, P, 1: (73 * 31 + 80) * 31 + 49 = 72682 = 719 * 101 + 63.
    EXPECT_EQ(hash("ip1"), 63u);
    EXPECT_EQ(hash(""), 0u);
    // A long name wraps the 32-bit accumulator without leaving the range.
    EXPECT_LT(hash(std::string(200, '\xff')), kHashBuckets);
}

TEST(Hash, EqualsTheOneByteAtATimeForm) {
    std::mt19937 random(5);
    for (int i = 0; i < 100000; ++i) {
        std::string name(random() % 24, '\0');
        for (char& ch : name) ch = static_cast<char>(random() % 4 ? 'A' + random() % 58 : random());
        std::uint32_t h = 0;
        for (char ch : name) {
            unsigned char b = static_cast<unsigned char>(ch);
            h = h * 31u + (b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
        }
        ASSERT_EQ(hash(name), h % 101u) << name;
    }
}

TEST(KeywordTable, EveryRowIsFoundWithItsHandler) {
    Handlers none;
    Context ctx(none);
    InitConfig(ctx);
    int rows = 0;
    for (const KeywordRow* row = flags; row->name; ++row, ++rows) {
        const KeywordEntry* entry = ctx.keywords.lookup(row->name);
        ASSERT_NE(entry, nullptr) << row->name;
        EXPECT_EQ(entry->handler, row->handler) << row->name;
    }
    EXPECT_EQ(rows, 33);
    EXPECT_EQ(ctx.keywords.lookup("nomvar")->handler, &ParseString);
    EXPECT_EQ(ctx.keywords.lookup("level")->handler, &ParseInt);
    EXPECT_EQ(ctx.keywords.lookup("values")->handler, &ParseValues);
    EXPECT_EQ(ctx.keywords.lookup("zeldata")->handler, &SkipTag);
}

TEST(KeywordTable, NamesThatAreNotKeywords) {
    Handlers none;
    Context ctx(none);
    InitConfig(ctx);
    for (const char* name : {"NOMVAR", "Nomvar", "nomvar ", " nomvar", "/zelrecord", "/orv-standard-file",
                             "?xml version=\"1.0\"", "", "n", "\xc3\xa9t\xc3\xa9", "ni\xff"})
        EXPECT_EQ(ctx.keywords.lookup(name), nullptr) << name;
}

TEST(KeywordTable, NewEntriesGoToTheFrontAndReinstallKeepsThePlace) {
    KeywordTable table;
    // "ni" and "NI" share a bucket but are different keywords.
    table.install("ni", HandlerA);
    table.install("NI", HandlerA);
    unsigned b = hash("ni");
    ASSERT_STREQ(table.bucket(b)->name, "NI");
    ASSERT_STREQ(table.bucket(b)->next->name, "ni");
    // Installing an existing name only replaces its handler.
    const KeywordEntry* again = table.install("ni", HandlerB);
    EXPECT_STREQ(table.bucket(b)->name, "NI");
    EXPECT_EQ(table.bucket(b)->next, again);
    EXPECT_EQ(again->handler, &HandlerB);
    EXPECT_EQ(table.lookup("NI")->handler, &HandlerA);
}

TEST(KeywordTable, InstalledOncePerContext) {
    Handlers none;
    Context ctx(none);
    InitConfig(ctx);
    ctx.keywords.install("nomvar", HandlerA);
    InitConfig(ctx);  // a second document in the same context
    EXPECT_EQ(ctx.keywords.lookup("nomvar")->handler, &HandlerA);
    EXPECT_EQ(ctx.in.c, 0);
}

}  // namespace
