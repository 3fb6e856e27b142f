// Message codes and their results, through the loaded module's Notify.
#include <gtest/gtest.h>

#include <functional>
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

// Sends message 2 and returns its result; an exception escaping Notify fails the test here
// instead of ending it somewhere further up.
int32_t declareWithoutEscape(Host& host) {
    int32_t result = 0;
    EXPECT_NO_THROW(result = host.declareParameters());
    return result;
}

// Unhandled codes answer 2 and call no host operation; destroying before anything was
// created, or twice, is harmless; creating never looks at the pointer the host held before.
TEST(Notify, InstanceLifecycleAndResultOfEveryMessageCode) {
    Host host(testing_support::loadedModule());
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);
    int notAnInstance = 0;
    host.api().instanceData = &notAnInstance;  // must never be dereferenced or freed
    ASSERT_EQ(host.createInstance(), 1);
    EXPECT_NE(host.api().instanceData, &notAnInstance);
    EXPECT_NE(host.api().instanceData, nullptr);
    const int callsBefore = host.hostCalls();
    for (int32_t code : {5, 6, 9, 11, 12, 15, 16, 1000, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(host.notify(code), 2) << code;
    }
    EXPECT_EQ(host.hostCalls(), callsBefore);
    for (int32_t code : {3, 4}) EXPECT_EQ(host.notify(code), 1) << code;
    // Messages that carry a changed or hand-edited parameter are accepted.
    for (int32_t code : {7, 13, 14}) EXPECT_EQ(host.notify(code, "keepEdges"), 1) << code;
    EXPECT_EQ(host.declareParameters(), 1);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.api().instanceData, nullptr);
    EXPECT_EQ(host.destroyInstance(), 1);
    EXPECT_EQ(host.hostErrors(), 0);
}

// Exceptions from outside the plug-in's own types, thrown by the host's table while message
// 2 is declaring, unwind through the module's code and must come back as result 5, never
// across the C boundary. The declarations before the throw stay, the instance is neither
// lost nor freed, and a later message 2 declares the whole panel.
TEST(Notify, AnExceptionFromTheHostFailsTheDeclarationWithoutHarm) {
    struct NotAStandardException {};
    const std::vector<std::string> reference = panelOfAnUntouchedHost();
    ASSERT_GT(reference.size(), 500u);
    const std::pair<int, std::function<void()>> throwers[] = {
        {1, [] { throw std::bad_alloc(); }},
        {500, [] { throw std::length_error("no room for another control"); }},
        {13, [] { throw NotAStandardException{}; }}};
    for (const auto& [at, thrower] : throwers) {
        Host host(testing_support::loadedModule());
        ASSERT_EQ(host.createInstance(), 1);
        void* instance = host.api().instanceData;
        int times = 0;
        int callsAtThrow = 0;
        host.throwAtDeclaration(at, [&] {
            ++times;
            callsAtThrow = host.hostCalls();
            thrower();
        });
        EXPECT_EQ(declareWithoutEscape(host), 5) << at;
        EXPECT_EQ(times, 1) << at;
        EXPECT_EQ(host.hostCalls(), callsAtThrow) << "no call after the throw";
        EXPECT_EQ(idsOf(host),
                  std::vector<std::string>(reference.begin(), reference.begin() + at - 1));
        EXPECT_EQ(host.api().instanceData, instance);
        if (at == 1) {  // nothing declared yet: the same host starts again
            EXPECT_EQ(declareWithoutEscape(host), 1) << "the seam fired once";
            EXPECT_EQ(idsOf(host), reference);
        }
        EXPECT_EQ(host.destroyInstance(), 1);
        EXPECT_EQ(host.api().instanceData, nullptr);
        EXPECT_EQ(host.hostErrors(), 0);
    }
    EXPECT_EQ(panelOfAnUntouchedHost(), reference) << "the module kept no broken state";
}

}  // namespace
