// Message codes and their results, through the loaded module's Notify.
#include <gtest/gtest.h>

#include "host/host.h"
#include "module_fixture.h"

namespace {

using kestrel::Host;

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

TEST(Notify, UnhandledCodesCallNoHostOperation) {
    Host host(testing_support::loadedModule());
    for (int32_t code : {5, 6, 9, 11, 12, 15, 1000, -1}) host.notify(code);
    EXPECT_EQ(host.hostCalls(), 0);
    EXPECT_EQ(host.api().instanceData, nullptr);
}

}  // namespace
