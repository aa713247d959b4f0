#include <gtest/gtest.h>

#include <climits>

#include "imaging/io/Options.h"

namespace pixolan::imaging {
namespace {

// Ids well away from those the handlers bind (10..70) and the engine's (128..130).
constexpr int32_t kTestId = 300;
constexpr int32_t kOtherTestId = 301;
constexpr int32_t kFarTestId = 1000;

// Restores every option value a test changes, and removes the test's bindings.
class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(EnginePushOptions()); }
  void TearDown() override {
    for (int32_t id : {kTestId, kOtherTestId, kFarTestId}) {
      UnregisterEngineOption(id, &first_);
      UnregisterEngineOption(id, &second_);
    }
    EXPECT_TRUE(EnginePopOptions());
  }
  std::atomic<int32_t> first_{11};
  std::atomic<int32_t> second_{22};
};

TEST_F(OptionsTest, UnboundIdsGiveOptionInvalidAndCannotBeSet) {
  EXPECT_EQ(OptionInvalid, -2147483647);
  for (int32_t id : {999, 0, 200, kTestId, -1, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(EngineGetOption(id), OptionInvalid);
    EXPECT_FALSE(EngineSetOption(id, 5));
  }
}

TEST_F(OptionsTest, ColorReductionMaskIsClamped) {
  const struct {
    int32_t set, stored;
  } cases[] = {{-5, 0}, {0, 0}, {100, 100}, {255, 255}, {256, 255}, {INT_MAX, 255}, {INT_MIN, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    ASSERT_TRUE(EngineSetOption(kOptionColorReductionMask, c.set));
    EXPECT_EQ(EngineGetOption(kOptionColorReductionMask), c.stored);
    EXPECT_EQ(ColorReductionMask(), c.stored);
  }
}

TEST_F(OptionsTest, OverrideFormatsWithoutDescriptorBecomeZero) {
  const struct {
    int32_t set, stored;
  } cases[] = {
      {int32_t(TImageFormatId::A8R8G8B8), 88},
      {int32_t(TImageFormatId::Gray8), 40},
      {int32_t(TImageFormatId::Default), 1},  // stands for A8R8G8B8
      {int32_t(TImageFormatId::ATI2N), 225},
      {0, 0},
      {2, 0},
      {226, 0},
      {999, 0},
      {-7, 0},
  };
  for (int32_t id : {kOptionLoadOverrideFormat, kOptionSaveOverrideFormat}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(id) + ": " + std::to_string(c.set));
      ASSERT_TRUE(EngineSetOption(id, c.set));
      EXPECT_EQ(EngineGetOption(id), c.stored);
    }
  }
  EngineSetOption(kOptionLoadOverrideFormat, int32_t(TImageFormatId::Gray8));
  EXPECT_EQ(LoadOverrideFormat(), TImageFormatId::Gray8);
  EngineSetOption(kOptionSaveOverrideFormat, 0);
  EXPECT_EQ(SaveOverrideFormat(), TImageFormatId::Unknown);
}

TEST_F(OptionsTest, OtherIdsAreStoredUnchanged) {
  ASSERT_TRUE(RegisterEngineOption(kTestId, &first_));
  EXPECT_EQ(EngineGetOption(kTestId), 11);
  for (int32_t value : {0, 101, -3, INT_MAX}) {
    ASSERT_TRUE(EngineSetOption(kTestId, value));
    EXPECT_EQ(EngineGetOption(kTestId), value);
    EXPECT_EQ(first_.load(), value);
  }
}

TEST_F(OptionsTest, FirstBindingWins) {
  ASSERT_TRUE(RegisterEngineOption(kTestId, &first_));
  EXPECT_FALSE(RegisterEngineOption(kTestId, &second_));
  EXPECT_FALSE(RegisterEngineOption(kOptionColorReductionMask, &second_));
  ASSERT_TRUE(EngineSetOption(kTestId, 7));
  EXPECT_EQ(first_.load(), 7);
  EXPECT_EQ(second_.load(), 22);

  // Only the owner of a binding can remove it.
  EXPECT_FALSE(UnregisterEngineOption(kTestId, &second_));
  EXPECT_TRUE(UnregisterEngineOption(kTestId, &first_));
  EXPECT_EQ(EngineGetOption(kTestId), OptionInvalid);
  EXPECT_TRUE(RegisterEngineOption(kTestId, &second_));
  EXPECT_EQ(EngineGetOption(kTestId), 22);
}

TEST_F(OptionsTest, ArrayGrowsForLargeIdsButRefusesAbsurdOnes) {
  EXPECT_TRUE(RegisterEngineOption(kFarTestId, &first_));
  EXPECT_EQ(EngineGetOption(kFarTestId), 11);
  EXPECT_TRUE(EngineSetOption(kFarTestId, 3));
  EXPECT_EQ(first_.load(), 3);
  EXPECT_FALSE(RegisterEngineOption(kMaxOptionId + 1, &second_));
  EXPECT_FALSE(RegisterEngineOption(INT_MAX, &second_));
  EXPECT_FALSE(RegisterEngineOption(-1, &second_));
  EXPECT_FALSE(RegisterEngineOption(kOtherTestId, nullptr));
  EXPECT_EQ(EngineGetOption(INT_MAX), OptionInvalid);
}

TEST_F(OptionsTest, PopRestoresValuesOfIdsStillBound) {
  ASSERT_TRUE(RegisterEngineOption(kTestId, &first_));
  ASSERT_TRUE(RegisterEngineOption(kOtherTestId, &second_));
  EngineSetOption(kOptionColorReductionMask, 10);
  EngineSetOption(kTestId, 100);
  ASSERT_TRUE(EnginePushOptions());
  EngineSetOption(kOptionColorReductionMask, 20);
  EngineSetOption(kTestId, 200);
  EngineSetOption(kOtherTestId, 300);
  // A variable that loses its binding after the push must not be written by the pop.
  UnregisterEngineOption(kOtherTestId, &second_);
  ASSERT_TRUE(EnginePopOptions());
  EXPECT_EQ(EngineGetOption(kOptionColorReductionMask), 10);
  EXPECT_EQ(first_.load(), 100);
  EXPECT_EQ(second_.load(), 300);
}

// Not a fixture test: it needs the whole stack.
TEST(OptionStack, HoldsEightSets) {
  int pushed = 0;
  while (EnginePushOptions()) ++pushed;
  EXPECT_EQ(pushed, kOptionStackDepth);
  EXPECT_EQ(kOptionStackDepth, 8);
  int popped = 0;
  while (EnginePopOptions()) ++popped;
  EXPECT_EQ(popped, pushed);
  EXPECT_FALSE(EnginePopOptions());
}

}  // namespace
}  // namespace pixolan::imaging
