// The descriptor record, filled through the loaded module's PluginInfo.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "module_fixture.h"

namespace {

constexpr uint8_t kSentinel = 0xAB;
constexpr wchar_t kWideSentinel = L'\x7777';

struct Buffers {
    // One element beyond each promised capacity, to catch a copy that runs past its limit.
    std::vector<wchar_t> name = std::vector<wchar_t>(513, kWideSentinel);
    std::vector<wchar_t> category = std::vector<wchar_t>(301, kWideSentinel);
    std::vector<wchar_t> vendor = std::vector<wchar_t>(101, kWideSentinel);
    std::vector<wchar_t> legal = std::vector<wchar_t>(401, kWideSentinel);
    std::vector<char> identifier = std::vector<char>(101, char(kSentinel));
};

PluginDescriptor sentinelRecord(Buffers& b, bool withIdentifier) {
    PluginDescriptor record;
    std::memset(&record, kSentinel, sizeof record);
    record.displayName = b.name.data();
    record.category = b.category.data();
    record.vendor = b.vendor.data();
    record.legalNotice = b.legal.data();
    record.identifier = withIdentifier ? b.identifier.data() : nullptr;
    return record;
}

uint32_t u32At(const PluginDescriptor& r, size_t offset) {
    uint32_t v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(&r) + offset, 4);
    return v;
}

// The text, then zero characters up to `limit`, and the element past the limit untouched.
void expectPaddedText(const std::vector<wchar_t>& buffer, const wchar_t* text, size_t limit) {
    const size_t length = std::wcslen(text);
    ASSERT_LT(length, limit);
    EXPECT_EQ(std::wmemcmp(buffer.data(), text, length), 0);
    for (size_t i = length; i < limit; ++i) ASSERT_EQ(buffer[i], L'\0') << "at " << i;
    EXPECT_EQ(buffer[limit], kWideSentinel);
}

void expectFixedFields(const PluginDescriptor& r) {
    EXPECT_EQ(u32At(r, 0), 0u);
    const uint32_t expected[][2] = {{56, 1}, {60, 2},         {64, 0},  {68, 0},
                                    {72, 4}, {88, 144585159}, {92, 16}, {96, 1}};
    for (const auto& [offset, value] : expected) EXPECT_EQ(u32At(r, offset), value) << offset;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
    for (size_t offset : {20, 21, 22, 23, 100, 101, 102, 103}) EXPECT_EQ(bytes[offset], kSentinel);
    for (size_t offset = 76; offset < 88; ++offset) EXPECT_EQ(bytes[offset], kSentinel) << offset;
}

TEST(Descriptor, FillsEveryFieldWithOrWithoutAnIdentifierBuffer) {
    Buffers b;
    PluginDescriptor r = sentinelRecord(b, true);
    testing_support::loadedModule().pluginInfo()(nullptr, nullptr, &r);

    expectFixedFields(r);
    expectPaddedText(b.name, L"Ruvovav {grain removal}", 512);
    expectPaddedText(b.category, L"Video Clean-up", 300);
    expectPaddedText(b.vendor, L"Orvane", 100);
    EXPECT_GT(std::wcslen(b.legal.data()), 0u);
    expectPaddedText(b.legal, b.legal.data(), 400);

    const std::string id = "com.ORVANE.Kestrel.Ruvovav";
    EXPECT_EQ(std::string(b.identifier.data()), id);
    for (size_t i = id.size(); i < 100; ++i) ASSERT_EQ(b.identifier[i], '\0') << i;
    EXPECT_EQ(uint8_t(b.identifier[100]), kSentinel);

    // A class identifier must be a real value, not left as it was or zeroed.
    int untouched = 0, zero = 0;
    for (uint8_t byte : r.classId) untouched += byte == kSentinel, zero += byte == 0;
    EXPECT_LT(untouched, 16);
    EXPECT_LT(zero, 16);

    // Without an identifier buffer the rest is filled all the same, and every call gives the
    // same record.
    Buffers second;
    PluginDescriptor again = sentinelRecord(second, false);
    testing_support::loadedModule().pluginInfo()(nullptr, nullptr, &again);
    EXPECT_EQ(again.identifier, nullptr);
    expectFixedFields(again);
    EXPECT_EQ(b.name, second.name);
    EXPECT_EQ(b.vendor, second.vendor);
    EXPECT_EQ(std::memcmp(r.classId, again.classId, 16), 0);
    EXPECT_EQ(uint8_t(second.identifier[0]), kSentinel);
}

}  // namespace
