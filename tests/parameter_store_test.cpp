#include "host/parameter_store.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrel {
namespace {

constexpr int32_t kUndoable = 2;

ParameterDeclaration floatParameter(const std::string& id, double defaultValue = 0.0) {
    ParameterDeclaration declaration;
    declaration.id = id;
    declaration.kind = ParameterKind::Float;
    declaration.min = -1000.0;
    declaration.max = 1000.0;
    declaration.defaultValue = {defaultValue, 0.0};
    return declaration;
}

ParameterDeclaration parameterOfKind(const std::string& id, ParameterKind kind) {
    ParameterDeclaration declaration;
    declaration.id = id;
    declaration.kind = kind;
    return declaration;
}

ParameterDeclaration qualityChoice() {
    ParameterDeclaration declaration = parameterOfKind("quality", ParameterKind::Choice);
    declaration.entries = {L"Low", L"Medium", L"High"};
    declaration.entryValues = {10, 20, 40};
    declaration.defaultValue = {1.0, 0.0};
    return declaration;
}

// What a declaration holds is checked on the module's own panel (parameter_panel_test);
// here, what the store refuses.
TEST(ParameterStoreTest, DuplicatesAndGroupsThatAreNotOpenAreRefused) {
    ParameterStore store;
    EXPECT_FALSE(store.endGroup());
    EXPECT_FALSE(store.endUndoGroup());
    EXPECT_EQ(store.hostErrors(), 2);
    store.beginGroup(L"Noise");
    EXPECT_TRUE(store.declare(floatParameter("strength", 0.25)));
    EXPECT_TRUE(store.endGroup());
    EXPECT_FALSE(store.endGroup());
    store.beginUndoGroup("once");
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_FALSE(store.endUndoGroup());
    EXPECT_EQ(store.hostErrors(), 4);
    EXPECT_EQ(store.undoGroupLog().size(), 1u);

    ParameterDeclaration duplicate = floatParameter("strength", 0.9);
    duplicate.label = L"Other";
    EXPECT_FALSE(store.declare(duplicate));
    EXPECT_EQ(store.size(), 1u);
    EXPECT_EQ(store.find("strength")->groupPath, (std::vector<std::wstring>{L"Noise"}));
    EXPECT_TRUE(store.find("strength")->label.empty());
    EXPECT_EQ(store.value("strength", 0).x, 0.25);
    EXPECT_EQ(store.find("missing"), nullptr);
}

TEST(ParameterStoreTest, FloatKeyframesInterpolateLinearlyAndHoldOutside) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(floatParameter("gain", 99.0)));
    store.setKeyframe("gain", 0, {10.0, 0.0});
    store.setKeyframe("gain", 10, {20.0, 0.0});

    EXPECT_DOUBLE_EQ(store.value("gain", 5).x, 15.0);
    EXPECT_DOUBLE_EQ(store.value("gain", 2).x, 12.0);  // 10 + 10 * 2/10
    EXPECT_DOUBLE_EQ(store.value("gain", 0).x, 10.0);
    EXPECT_DOUBLE_EQ(store.value("gain", 10).x, 20.0);
    EXPECT_DOUBLE_EQ(store.value("gain", -7).x, 10.0);
    EXPECT_DOUBLE_EQ(store.value("gain", 1000).x, 20.0);

    // With a third key the segment used depends on the time: up to 10, then back down.
    store.setKeyframe("gain", 20, {0.0, 0.0});
    EXPECT_DOUBLE_EQ(store.value("gain", 15).x, 10.0);  // halfway from 20 to 0
    EXPECT_DOUBLE_EQ(store.value("gain", 19).x, 2.0);   // 20 - 20 * 9/10
    EXPECT_EQ(store.keyframes("gain").size(), 3u);

    // Without keys the static value, untouched by keyframing, is back.
    store.clearKeyframes("gain");
    EXPECT_TRUE(store.keyframes("gain").empty());
    EXPECT_DOUBLE_EQ(store.value("gain", 5).x, 99.0);
    EXPECT_EQ(store.hostErrors(), 0);
}

TEST(ParameterStoreTest, NonFloatKindsHoldTheLastKeyAtOrBeforeTheTime) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(parameterOfKind("count", ParameterKind::Int)));
    ASSERT_TRUE(store.declare(parameterOfKind("on", ParameterKind::Bool)));
    ASSERT_TRUE(store.declare(qualityChoice()));
    ASSERT_TRUE(store.declare(parameterOfKind("centre", ParameterKind::Point)));

    store.setKeyframe("count", 0, {1.0, 0.0});
    store.setKeyframe("count", 10, {5.0, 0.0});
    EXPECT_EQ(store.value("count", -3).x, 1.0);
    EXPECT_EQ(store.value("count", 9).x, 1.0);
    EXPECT_EQ(store.value("count", 10).x, 5.0);
    EXPECT_EQ(store.value("count", 50).x, 5.0);

    store.setKeyframe("on", 4, {1.0, 0.0});
    store.setKeyframe("on", 8, {0.0, 0.0});
    EXPECT_EQ(store.value("on", 7).x, 1.0);
    EXPECT_EQ(store.value("on", 8).x, 0.0);

    store.setKeyframe("quality", 0, {0.0, 0.0});
    store.setKeyframe("quality", 10, {2.0, 0.0});
    EXPECT_EQ(store.value("quality", 5).x, 0.0);
    EXPECT_EQ(store.choiceValue("quality", 5), 10);
    EXPECT_EQ(store.choiceValue("quality", 10), 40);

    store.setKeyframe("centre", 0, {1.0, 2.0});
    store.setKeyframe("centre", 10, {3.0, 4.0});
    EXPECT_EQ(store.value("centre", 5), (ParameterValue{1.0, 2.0}));
    EXPECT_EQ(store.value("centre", 12), (ParameterValue{3.0, 4.0}));
    EXPECT_EQ(store.hostErrors(), 0);
}

// Writes inside a group, nested groups included, are one step, undone and redone whole; a
// group that writes nothing leaves no step (but is logged) and keeps the redo history.
TEST(ParameterStoreTest, UndoGroupsFormOneStepThatUndoesAndRedoesWhole) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(floatParameter("a", 1.0)));
    ASSERT_TRUE(store.declare(floatParameter("b", 2.0)));
    EXPECT_FALSE(store.undo());
    EXPECT_FALSE(store.redo());

    store.beginUndoGroup("outer");
    store.set("a", 0, {10.0, 0.0}, kUndoable);
    store.beginUndoGroup("inner");
    EXPECT_EQ(store.openUndoGroups(), 2);
    store.set("b", 0, {20.0, 0.0}, kUndoable);
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_EQ(store.undoDepth(), 0u) << "closing the inner group makes no step of its own";
    store.set("a", 0, {30.0, 0.0}, kUndoable);  // a second write to the same parameter
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_EQ(store.undoDepth(), 1u);

    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.value("a", 0).x, 1.0);
    EXPECT_EQ(store.value("b", 0).x, 2.0);
    EXPECT_EQ(store.redoDepth(), 1u);
    store.beginUndoGroup("empty");
    EXPECT_TRUE(store.endUndoGroup());
    EXPECT_EQ(store.redoDepth(), 1u);
    EXPECT_TRUE(store.redo());
    EXPECT_EQ(store.value("a", 0).x, 30.0);
    EXPECT_EQ(store.value("b", 0).x, 20.0);
    EXPECT_EQ(store.undoDepth(), 1u);
    EXPECT_FALSE(store.redo());

    const std::vector<UndoGroupRecord>& log = store.undoGroupLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].name, "inner");
    EXPECT_EQ(log[1].depth, 1);
    EXPECT_EQ(log[2].name, "empty");
    EXPECT_EQ(log[2].depth, 0);
}

// Outside groups every undoable write is a step and a new one clears the redo history; writes
// in other modes are never recorded and leave the redo history alone.
TEST(ParameterStoreTest, UndoableWritesOutsideGroupsAreStepsOtherModesAreNot) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(floatParameter("a", 0.0)));
    store.set("a", 0, {1.0, 0.0}, kUndoable);
    store.set("a", 0, {2.0, 0.0}, kUndoable);
    EXPECT_EQ(store.undoDepth(), 2u);
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.value("a", 0).x, 1.0);
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.value("a", 0).x, 0.0);
    EXPECT_TRUE(store.redo());
    store.set("a", 0, {4.0, 0.0}, 1);
    EXPECT_EQ(store.redoDepth(), 1u) << "an unrecorded write";
    store.beginUndoGroup("silent");
    store.set("a", 0, {5.0, 0.0}, 0);
    store.endUndoGroup();
    EXPECT_EQ(store.undoDepth(), 1u);
    store.set("a", 0, {9.0, 0.0}, kUndoable);
    EXPECT_EQ(store.redoDepth(), 0u);
    EXPECT_EQ(store.undoDepth(), 2u);
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.value("a", 0).x, 5.0);
}

TEST(ParameterStoreTest, WritesToAnimatedParametersSetTheKeyAtThatTime) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(floatParameter("gain", 50.0)));
    store.setKeyframe("gain", 0, {10.0, 0.0});
    store.setKeyframe("gain", 10, {20.0, 0.0});

    store.set("gain", 5, {100.0, 0.0}, 0);
    std::map<int32_t, ParameterValue> keys = store.keyframes("gain");
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[5].x, 100.0);
    EXPECT_DOUBLE_EQ(store.value("gain", 5).x, 100.0);
    EXPECT_DOUBLE_EQ(store.value("gain", 3).x, 64.0);  // 10 + 90 * 3/5

    store.set("gain", 10, {40.0, 0.0}, kUndoable);
    keys = store.keyframes("gain");
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[10].x, 40.0);

    // Undo puts the keys back as they were, including one a write created.
    store.set("gain", 7, {1.0, 0.0}, kUndoable);
    EXPECT_EQ(store.keyframes("gain").size(), 4u);
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.keyframes("gain").size(), 3u);
    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.keyframes("gain")[10].x, 20.0);

    store.clearKeyframes("gain");
    EXPECT_EQ(store.value("gain", 5).x, 50.0);  // the static value was never written
}

TEST(ParameterStoreTest, ChoiceStoresTheEntryIndexAndReportsTheDeclaredValue) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(qualityChoice()));
    EXPECT_EQ(store.value("quality", 0).x, 1.0);
    EXPECT_EQ(store.choiceValue("quality", 0), 20);

    store.setChoiceByValue("quality", 0, 40, kUndoable);
    EXPECT_EQ(store.value("quality", 0).x, 2.0);
    EXPECT_EQ(store.choiceValue("quality", 0), 40);
    EXPECT_EQ(store.undoDepth(), 1u);

    store.setChoiceByValue("quality", 0, 10, 0);
    EXPECT_EQ(store.value("quality", 0).x, 0.0);
    EXPECT_EQ(store.choiceValue("quality", 0), 10);
    EXPECT_EQ(store.hostErrors(), 0);

    store.setChoiceByValue("quality", 0, 30, kUndoable);  // not a declared value
    EXPECT_EQ(store.hostErrors(), 1);
    EXPECT_EQ(store.value("quality", 0).x, 0.0);
    EXPECT_EQ(store.undoDepth(), 1u);

    EXPECT_TRUE(store.undo());
    EXPECT_EQ(store.choiceValue("quality", 0), 20);
}

TEST(ParameterStoreTest, UnknownIdsAreRefusedOnWriteAndReadAsZero) {
    ParameterStore store;
    ASSERT_TRUE(store.declare(floatParameter("a", 3.0)));
    ASSERT_TRUE(store.declare(parameterOfKind("note", ParameterKind::Label)));

    EXPECT_EQ(store.value("nope", 0), (ParameterValue{}));
    EXPECT_EQ(store.hostErrors(), 1);
    EXPECT_EQ(store.choiceValue("nope", 0), 0);
    EXPECT_EQ(store.hostErrors(), 2);
    EXPECT_THROW(store.set("nope", 0, {1.0, 1.0}, kUndoable), kestrel::UnknownParameter);
    EXPECT_EQ(store.hostErrors(), 3);
    EXPECT_THROW(store.setEnabled("nope", false), kestrel::UnknownParameter);
    EXPECT_EQ(store.hostErrors(), 4);
    EXPECT_THROW(store.setLabelText("nope", L"text"), kestrel::UnknownParameter);
    EXPECT_EQ(store.hostErrors(), 5);
    EXPECT_THROW(store.setChoiceByValue("nope", 0, 1, 0), kestrel::UnknownParameter);
    EXPECT_EQ(store.hostErrors(), 6);
    EXPECT_THROW(store.setKeyframe("nope", 0, {1.0, 0.0}), kestrel::UnknownParameter);
    EXPECT_EQ(store.hostErrors(), 7);
    EXPECT_TRUE(store.keyframes("nope").empty());
    EXPECT_EQ(store.hostErrors(), 8);

    // Nothing known was touched and no undo step appeared.
    EXPECT_EQ(store.size(), 2u);
    EXPECT_EQ(store.value("a", 0).x, 3.0);
    EXPECT_EQ(store.undoDepth(), 0u);

    // The same calls on known ids work and count nothing.
    store.setEnabled("a", false);
    store.setLabelText("note", L"Ready");
    EXPECT_FALSE(store.find("a")->enabled);
    EXPECT_EQ(store.find("note")->text, L"Ready");
    EXPECT_EQ(store.hostErrors(), 8);
}

}  // namespace
}  // namespace kestrel
