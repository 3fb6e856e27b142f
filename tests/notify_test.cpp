// Message codes and their results, through the loaded module's Notify.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/host.h"
#include "module_fixture.h"

namespace {

using kestrel::Host;

std::vector<std::string> idsOf(const Host& host) {
    std::vector<std::string> ids;
    for (const auto& d : host.parameters().declarations()) ids.push_back(d.id);
    return ids;
}

// The ids a host with no seam gets from message 2: the reference a recovered host must
// match.
std::vector<std::string> panelOfAnUntouchedHost() {
    Host host(testing_support::loadedModule());
    EXPECT_EQ(host.createInstance(), 1);
    EXPECT_EQ(host.declareParameters(), 1);
    return idsOf(host);
}

// What a thrower saw when it was called, so a test can tell that it ran exactly once and
// that the module made no call to the host once the exception had left the table.
struct ThrowRecord {
    int times = 0;
    int hostCallsAtThrow = 0;
};

// Sends message 2 and returns its result; an exception escaping Notify fails the test here
// instead of ending it somewhere further up.
int32_t declareWithoutEscape(Host& host) {
    int32_t result = 0;
    EXPECT_NO_THROW(result = host.declareParameters());
    return result;
}

TEST(Notify, InstanceLifecycle) {
    Host host(testing_support::loadedModule());
    // Destroying before anything was created is harmless.
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);

    EXPECT_EQ(host.createInstance(), 1);
    void* first = host.api().instanceData;
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.hostErrors(), 0);
}

TEST(Notify, CreateOverwritesWithoutLookingAtTheOldPointer) {
    Host host(testing_support::loadedModule());
    int notAnInstance = 0;
    host.api().instanceData = &notAnInstance;  // must never be dereferenced or freed
    EXPECT_EQ(host.createInstance(), 1);
    EXPECT_NE(host.api().instanceData, &notAnInstance);
    EXPECT_EQ(host.destroyInstance(), 1);
}

TEST(Notify, ResultOfEveryMessageCode) {
    Host host(testing_support::loadedModule());
    ASSERT_EQ(host.createInstance(), 1);
    for (int32_t code : {3, 4}) EXPECT_EQ(host.notify(code), 1) << code;
    for (int32_t code : {5, 6, 9, 11, 12, 15, 16, 1000, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(host.notify(code), 2) << code;
    }
    // Messages that carry a changed or hand-edited parameter are accepted.
    for (int32_t code : {7, 13, 14}) EXPECT_EQ(host.notify(code, "keepEdges"), 1) << code;
    EXPECT_EQ(host.declareParameters(), 1);
    EXPECT_NE(host.api().instanceData, nullptr);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.hostErrors(), 0);
}

// Exceptions from outside the plug-in's own types, thrown by the host's table while message
// 2 is declaring, unwind through the module's code and must come back as result 5, never
// across the C boundary.
TEST(Notify, OutOfMemoryAtTheFirstDeclarationFailsTheMessage) {
    const std::vector<std::string> reference = panelOfAnUntouchedHost();
    ASSERT_FALSE(reference.empty());

    Host host(testing_support::loadedModule());
    ASSERT_EQ(host.createInstance(), 1);
    void* instance = host.api().instanceData;
    ThrowRecord thrown;
    host.throwAtDeclaration(1, [&] {
        ++thrown.times;
        thrown.hostCallsAtThrow = host.hostCalls();
        throw std::bad_alloc();
    });
    EXPECT_EQ(declareWithoutEscape(host), 5);
    EXPECT_EQ(thrown.times, 1);
    EXPECT_EQ(host.hostCalls(), thrown.hostCallsAtThrow);
    EXPECT_EQ(host.parameters().size(), 0u);
    EXPECT_EQ(host.api().instanceData, instance);  // the instance is neither lost nor freed

    // The same host goes on: the next message 2 (the seam has fired) declares the whole panel.
    EXPECT_EQ(declareWithoutEscape(host), 1);
    EXPECT_EQ(thrown.times, 1);
    EXPECT_EQ(idsOf(host), reference);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);
    EXPECT_EQ(host.hostErrors(), 0);
}

TEST(Notify, LengthErrorHalfwayThroughTheDeclarationsFailsTheMessage) {
    const std::vector<std::string> reference = panelOfAnUntouchedHost();
    ASSERT_GT(reference.size(), 500u);

    Host host(testing_support::loadedModule());
    ASSERT_EQ(host.createInstance(), 1);
    ThrowRecord thrown;
    host.throwAtDeclaration(500, [&] {
        ++thrown.times;
        thrown.hostCallsAtThrow = host.hostCalls();
        throw std::length_error("no room for another control");
    });
    EXPECT_EQ(declareWithoutEscape(host), 5);
    EXPECT_EQ(thrown.times, 1);
    EXPECT_EQ(host.hostCalls(), thrown.hostCallsAtThrow);
    // The 499 declarations before the throw stay, in panel order; the 500th stored nothing.
    EXPECT_EQ(idsOf(host), std::vector<std::string>(reference.begin(), reference.begin() + 499));
    EXPECT_NE(host.api().instanceData, nullptr);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);
    EXPECT_EQ(host.hostErrors(), 0);

    // The module holds no broken state: a later message 2 without the seam succeeds.
    Host later(testing_support::loadedModule());
    ASSERT_EQ(later.createInstance(), 1);
    EXPECT_EQ(declareWithoutEscape(later), 1);
    EXPECT_EQ(idsOf(later), reference);
    EXPECT_EQ(later.destroyInstance(), 1);
}

TEST(Notify, ExceptionOfNoStandardTypeFailsTheMessage) {
    struct NotAStandardException {};
    Host host(testing_support::loadedModule());
    ASSERT_EQ(host.createInstance(), 1);
    int thrown = 0;
    host.throwAtDeclaration(13, [&] {
        ++thrown;
        throw NotAStandardException{};
    });
    EXPECT_EQ(declareWithoutEscape(host), 5);
    EXPECT_EQ(thrown, 1);
    EXPECT_EQ(host.parameters().size(), 12u);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);
}

TEST(Notify, UnhandledCodesCallNoHostOperation) {
    Host host(testing_support::loadedModule());
    for (int32_t code : {5, 6, 9, 11, 12, 15, 1000, -1}) host.notify(code);
    EXPECT_EQ(host.hostCalls(), 0);
    EXPECT_EQ(host.api().instanceData, nullptr);
}

}  // namespace
