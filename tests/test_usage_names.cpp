#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HID_Name_Lookup.h"

namespace {

std::string Name(int32_t page, int32_t usage)
{
    char name[256];
    std::memset(name, 'X', sizeof name);
    HIDGetUsageName(page, usage, name);
    return name;
}

std::string Hex(int32_t value)
{
    std::ostringstream out;
    out << std::hex << static_cast<uint32_t>(value);
    return out.str();
}

// Fills a page format by text substitution, independently of printf.
std::string Fill(std::string format, int32_t usage)
{
    if (auto at = format.find("%lx"); at != std::string::npos)
        return format.replace(at, 3, Hex(usage));
    if (auto at = format.find("%ld"); at != std::string::npos)
        return format.replace(at, 3, std::to_string(usage));
    ADD_FAILURE() << "format without placeholder: " << format;
    return format;
}

struct Reserved {
    int32_t first, last;
    std::string name;
};

struct ExpectedPage {
    std::string format;
    int64_t coveredLast = INT64_MAX;
    std::map<int32_t, std::string> names;
    std::vector<Reserved> reserved;
};

// The expected usage table, kept as data beside the tests.
std::map<int32_t, ExpectedPage> LoadExpected()
{
    std::map<int32_t, ExpectedPage> pages;
    std::ifstream in(STARDRIFT_TEST_DATA "/usage_names.tsv");
    EXPECT_TRUE(in.good());
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        const int32_t page = int32_t(std::stol(f.at(1), nullptr, 16));
        if (f[0] == "page")
            pages[page].format = f.at(2);
        else if (f[0] == "covered")
            pages[page].coveredLast = std::stol(f.at(2), nullptr, 16);
        else if (f[0] == "name")
            pages[page].names[int32_t(std::stol(f.at(2), nullptr, 16))] = f.at(3);
        else if (f[0] == "reserved")
            pages[page].reserved.push_back(
                {int32_t(std::stol(f.at(2), nullptr, 16)), int32_t(std::stol(f.at(3), nullptr, 16)), f.at(4)});
        else
            ADD_FAILURE() << "unknown record " << line;
    }
    return pages;
}

std::string ExpectedName(const std::map<int32_t, ExpectedPage>& pages, int32_t page, int32_t usage)
{
    if (page >= 0xFF00)
        return "Vendor Defined Usage 0x" + Hex(usage);
    const auto it = pages.find(page);
    if (it == pages.end())
        return "Page: 0x" + Hex(page) + ", Usage: 0x" + Hex(usage);
    const ExpectedPage& p = it->second;
    if (usage >= 0 && usage <= p.coveredLast) {
        if (auto named = p.names.find(usage); named != p.names.end())
            return named->second;
        for (const Reserved& r : p.reserved)
            if (usage >= r.first && usage <= r.last)
                return r.name;
    }
    return Fill(p.format, usage);
}

TEST(UsageNames, EveryUsageOfEveryPageMatchesTheTable)
{
    const auto pages = LoadExpected();
    ASSERT_EQ(pages.size(), 22u);
    size_t named = 0;
    for (const auto& [page, expected] : pages)
        named += expected.names.size();
    ASSERT_EQ(named, 48u + 6u + 106u + 75u + 90u);

    for (int32_t page = -1; page <= 0x93; ++page) {
        // Pages with name lists are walked over their whole 16-bit range and past it.
        const bool listed = pages.count(page) && !pages.at(page).names.empty();
        const int32_t last = listed ? 0x10001 : 0x120;
        for (int32_t usage = -2; usage <= last; ++usage)
            ASSERT_EQ(Name(page, usage), ExpectedName(pages, page, usage)) << "page " << page << " usage " << usage;
        ASSERT_EQ(Name(page, INT32_MAX), ExpectedName(pages, page, INT32_MAX));
        ASSERT_EQ(Name(page, INT32_MIN), ExpectedName(pages, page, INT32_MIN));
    }
    for (int32_t page : {0xFEFF, 0xFF00, 0xFFFF, 0x10000, INT32_MAX, INT32_MIN})
        for (int32_t usage : {0, 1, 0x30, -1})
            ASSERT_EQ(Name(page, usage), ExpectedName(pages, page, usage)) << page;
}

TEST(UsageNames, ExamplesAndMisspellingsAsListed)
{
    EXPECT_EQ(Name(0x01, 0x30), "X-Axis");
    EXPECT_EQ(Name(0x01, 0x3F), "Generic Desktop Usage 0x3f");
    EXPECT_EQ(Name(0x01, 0xFFFF), "Reserved");
    EXPECT_EQ(Name(0x09, 12), "Button #12");
    EXPECT_EQ(Name(0x09, -3), "Button #-3");
    EXPECT_EQ(Name(0x0A, 0x1F), "Ordinal Instance 1f");
    EXPECT_EQ(Name(0x06, 0x20), "Page: 0x6, Usage: 0x20");
    EXPECT_EQ(Name(0x92, 1), "Page: 0x92, Usage: 0x1");
    EXPECT_EQ(Name(-1, 1), "Page: 0xffffffff, Usage: 0x1");
    EXPECT_EQ(Name(0xFF00, 1), "Vendor Defined Usage 0x1");
    EXPECT_EQ(Name(0xFFFF, 1), "Vendor Defined Usage 0x1");
    EXPECT_EQ(Name(0x0F, 0x8A), "PID Reserved");
    EXPECT_EQ(Name(0x0F, 0x10000), "PID Usage 0x10000");
    EXPECT_EQ(Name(0x0F, -1), "PID Usage 0xffffffff");
    EXPECT_EQ(Name(0x85, 0x20), "Power Device Reserved");
    EXPECT_EQ(Name(0x85, 0x100), "Battery System Usage 0x100");
    EXPECT_EQ(Name(0x85, 0xF1), "attery System Charger Specification");
    EXPECT_EQ(Name(0x84, 0x52), "Power Device Toogle Sequence Control");
    EXPECT_EQ(Name(0x84, 0x74), "Power Device Reserved");
    EXPECT_EQ(Name(0x08, 0x4D), "External Power LED");
    EXPECT_EQ(Name(0x08, 0x01), "LED Usage 0x1");
}

TEST(UsageNames, NoNameIsLongerThan60Characters)
{
    for (int32_t page : {0x01, 0x08, 0x0F, 0x84, 0x85})
        for (int32_t usage = 0; usage <= 0xFFFF; ++usage)
            ASSERT_LE(Name(page, usage).size(), 60u);
}

TEST(ElementNames, KnownGamePadByCookie)
{
    char name[256];
    const std::vector<std::string> expected = {"D-Pad Up",          "D-Pad Down",         "D-Pad Left",
                                               "D-Pad Right",       "Up Button",          "Right Button",
                                               "Down Button",       "Left Button",        "C Button",
                                               "B Button [Select]", "A Button [Start]",   "F Button",
                                               "R1 Trigger",        "R2 Trigger",         "L1 Trigger",
                                               "L2 Trigger",        "Left Stick Button",  "Right Stick Button",
                                               "D Button",          "E Button",           "Left Stick X-Axis",
                                               "Left Stick Y-Axis", "Right Stick X-Axis", "Right Stick Y-Axis"};
    for (int32_t cookie = 3; cookie <= 26; ++cookie) {
        GetElementNameFromVendorProduct(0x2222, 0x4010, cookie, name);
        EXPECT_EQ(name, expected[size_t(cookie - 3)]) << cookie;
    }
    for (int32_t cookie : {2, 27, 0, -1}) {
        std::strcpy(name, "stale");
        GetElementNameFromVendorProduct(0x2222, 0x4010, cookie, name);
        EXPECT_STREQ(name, "") << cookie;
    }
    std::strcpy(name, "stale");
    GetElementNameFromVendorProduct(0x2222, 0x4011, 12, name);
    EXPECT_STREQ(name, "");
    GetElementNameFromVendorProduct(0x2223, 0x4010, 12, name);
    EXPECT_STREQ(name, "");
}

} // namespace
