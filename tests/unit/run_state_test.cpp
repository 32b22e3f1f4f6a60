#include "session/run_state.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/error.hpp"

namespace cv {
namespace {

void expectCancelled(const RunState& state) {
  try {
    state.throwIfCancelled();
    FAIL() << "no cancellation";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -10);
    EXPECT_STREQ(error.what(), "Extraction cancelled");
  }
}

TEST(RunState, CloseBeforeLaunchingRequestsCancel) {
  for (Stage stage : {Stage::FetchingInfo, Stage::Downloading, Stage::Verifying}) {
    RunState state;
    state.publish(stage);
    EXPECT_NO_THROW(state.throwIfCancelled());
    EXPECT_EQ(state.requestClose(), CloseDecision::CancelRequested);
    EXPECT_TRUE(state.cancelRequested.load());
    expectCancelled(state);
  }
}

TEST(RunState, CloseWhileLaunchingIsIgnoredAndAfterTheEndDestroys) {
  RunState state;
  state.publish(Stage::Launching);
  EXPECT_EQ(state.requestClose(), CloseDecision::Ignore);
  EXPECT_FALSE(state.cancelRequested.load());
  state.publish(Stage::Finished);
  EXPECT_EQ(state.requestClose(), CloseDecision::Destroy);
  state.publish(Stage::Failed);
  EXPECT_EQ(state.requestClose(), CloseDecision::Destroy);
  EXPECT_FALSE(state.cancelRequested.load());
}

TEST(RunState, EnteringLaunchingAfterACancelThrowsAndKeepsTheStage) {
  RunState state;
  state.publish(Stage::Verifying);
  state.requestClose();
  expectCancelled(state);
  EXPECT_THROW(state.enterLaunching(), Error);
  EXPECT_EQ(state.currentStage(), Stage::Verifying);
}

// Either the cancel wins (the worker sees it and never launches) or the launch
// wins (the request is refused and the flag stays clear); never both, never neither.
TEST(RunState, CancelAndLaunchingRaceHasExactlyOneWinner) {
  for (int round = 0; round < 2000; ++round) {
    RunState state;
    state.publish(Stage::Verifying);
    std::atomic<bool> go{false};
    bool launched = false;
    std::thread worker([&] {
      while (!go.load()) {
      }
      try {
        state.enterLaunching();
        launched = true;
      } catch (const Error&) {
      }
    });
    go.store(true);
    const CloseDecision decision = state.requestClose();
    worker.join();
    if (launched) {
      EXPECT_EQ(decision, CloseDecision::Ignore);
      EXPECT_FALSE(state.cancelRequested.load());
      EXPECT_EQ(state.currentStage(), Stage::Launching);
    } else {
      EXPECT_EQ(decision, CloseDecision::CancelRequested);
      EXPECT_TRUE(state.cancelRequested.load());
      EXPECT_EQ(state.currentStage(), Stage::Verifying);
    }
  }
}

TEST(RunState, FailureMessageIsInPlaceBeforeFailedIsVisible) {
  for (int round = 0; round < 500; ++round) {
    RunState state;
    std::thread worker([&] { state.reportFailure(-7, L"网络请求失败，请重试"); });
    while (state.currentStage() != Stage::Failed) {
    }
    EXPECT_EQ(state.message(), L"网络请求失败，请重试");
    EXPECT_EQ(state.resultCode, -7);
    worker.join();
  }
}

TEST(RunState, RollbackSuffixIsAppendedToTheMessage) {
  RunState state;
  state.reportFailure(-9, L"安装程序未启动或已取消授权");
  state.appendToMessage(L"；渠道恢复失败，请重新运行原渠道安装助手");
  EXPECT_EQ(state.message(), L"安装程序未启动或已取消授权；渠道恢复失败，请重新运行原渠道安装助手");
}

TEST(RunState, ByteCountersAreLockFree64BitAtomics) {
  RunState state;
  EXPECT_TRUE(state.downloadedBytes.is_lock_free());
  state.downloadedBytes.store(0x1'0000'0001ull);
  EXPECT_EQ(state.downloadedBytes.load(), 0x1'0000'0001ull);
}

}  // namespace
}  // namespace cv
