#include "app/rules/window_view.hpp"

#include <gtest/gtest.h>

namespace cv {
namespace {

TickInput at(Stage stage) {
  TickInput input;
  input.stage = stage;
  return input;
}

TEST(WindowGeometry, ScalesTo144Dpi) {
  const Box window = scaleForDpi(kWindowBox, 144);
  EXPECT_EQ(window.width, 900);
  EXPECT_EQ(window.height, 308);  // 307.5 rounds away from zero
  const Box status = scaleForDpi(kStatusBox, 144);
  EXPECT_EQ((std::vector<int>{status.x, status.y, status.width, status.height}),
            (std::vector<int>{36, 39, 818, 69}));
  const Box progress = scaleForDpi(kProgressBox, 144);
  EXPECT_EQ((std::vector<int>{progress.x, progress.y, progress.width, progress.height}),
            (std::vector<int>{36, 120, 818, 30}));
  const Box button = scaleForDpi(kButtonBox, 144);
  EXPECT_EQ((std::vector<int>{button.x, button.y, button.width, button.height}),
            (std::vector<int>{704, 180, 150, 45}));
}

TEST(WindowGeometry, KeepsUnitsAt96DpiAndRoundsHalvesAwayFromZero) {
  const Box status = scaleForDpi(kStatusBox, 96);
  EXPECT_EQ((std::vector<int>{status.x, status.y, status.width, status.height}),
            (std::vector<int>{24, 26, 545, 46}));
  EXPECT_EQ(scaleForDpi(1, 48), 1);    // 0.5
  EXPECT_EQ(scaleForDpi(-1, 48), -1);  // -0.5
  EXPECT_EQ(scaleForDpi(545, 120), 681);  // 681.25
}

TEST(DownloadProgress, TruncatesThePercentAndHandlesHugeCounters) {
  EXPECT_EQ(downloadPercent(0, 1000), 0);
  EXPECT_EQ(downloadPercent(996, 1000), 99);  // 99.6 shows 99
  EXPECT_EQ(downloadPercent(1000, 1000), 100);
  const std::uint64_t sixGiB = 6ull << 30;
  EXPECT_EQ(downloadPercent(sixGiB / 2, sixGiB), 50);
  EXPECT_EQ(downloadPercent((5ull << 30) + 7, sixGiB), 83);
}

TEST(DownloadProgress, ACompleteDownloadShowsOneHundredAtEverySize) {
  // In double precision 828560950575634 * 100 / 828560950575634 is just below 100.
  for (const std::uint64_t size : {828560950575634ull, 999999999999999ull, 1ull, 90071992547409ull}) {
    EXPECT_EQ(downloadPercent(size, size), 100) << size;
  }
  EXPECT_EQ(downloadPercent(828560950575633ull, 828560950575634ull), 99);
}

TEST(TickView, DownloadShowsPrefixPercentAndDeterminateBar) {
  TickInput input = at(Stage::Downloading);
  input.downloadedBytes = (4ull << 30) + 1;  // above 32 bits
  input.totalBytes = 8ull << 30;
  TickView view = viewForTick(input);
  EXPECT_EQ(*view.statusText, L"正在下载安装文件… 50%");
  EXPECT_EQ(*view.progressPosition, 50);
  EXPECT_EQ(view.marquee, Marquee::Stop);
  EXPECT_FALSE(*view.marqueeStyle);
  EXPECT_TRUE(view.buttonEnabled);
  EXPECT_FALSE(view.destroy);

  input.updating = true;
  input.downloadedBytes = 0;
  EXPECT_EQ(*viewForTick(input).statusText, L"正在更新安装助手… 0%");
}

TEST(TickView, WaitsAndChecksOfEarlierBytesShowTheirOwnTextWithTheBarKept) {
  const std::pair<DownloadPhase, const wchar_t*> cases[] = {
      {DownloadPhase::Waiting, L"网络中断，正在重试… 37%"},
      {DownloadPhase::CheckingKept, L"正在校验已下载的部分… 37%"},
      {DownloadPhase::CheckingCopy, L"正在校验已下载的安装文件… 37%"},
      {static_cast<DownloadPhase>(9), L"正在下载安装文件… 37%"},
  };
  for (bool updating : {false, true}) {
    for (const auto& [phase, text] : cases) {
      TickInput input = at(Stage::Downloading);
      input.phase = phase;
      input.updating = updating;
      input.downloadedBytes = 379;
      input.totalBytes = 1000;
      const TickView view = viewForTick(input);
      const std::wstring expected =
          updating && phase == static_cast<DownloadPhase>(9) ? L"正在更新安装助手… 37%" : text;
      EXPECT_EQ(*view.statusText, expected);
      EXPECT_EQ(*view.progressPosition, 37);
      EXPECT_EQ(view.marquee, Marquee::Stop);
    }
  }
  // Outside the download the phase changes nothing.
  TickInput verifying = at(Stage::Verifying);
  verifying.phase = DownloadPhase::Waiting;
  EXPECT_EQ(*viewForTick(verifying).statusText, L"正在校验安装文件…");
}

TEST(TickView, BusyStagesShowTheirTextWithMarquee) {
  const std::pair<Stage, const wchar_t*> cases[] = {
      {Stage::FetchingInfo, L"正在获取游戏安装信息…"},
      {Stage::Verifying, L"正在校验安装文件…"},
      {Stage::Launching, L"正在启动安装程序…"},
  };
  for (const auto& [stage, text] : cases) {
    const TickView view = viewForTick(at(stage));
    EXPECT_EQ(*view.statusText, text);
    EXPECT_EQ(view.marquee, Marquee::Start);
    EXPECT_TRUE(*view.marqueeStyle);
    EXPECT_FALSE(view.buttonText.has_value());
    EXPECT_FALSE(view.destroy);
  }
}

TEST(TickView, ButtonIsDisabledWhileLaunchingOrOnceCancelWasRequested) {
  EXPECT_FALSE(viewForTick(at(Stage::Launching)).buttonEnabled);
  TickInput input = at(Stage::Downloading);
  input.totalBytes = 1;
  input.cancelRequested = true;
  EXPECT_FALSE(viewForTick(input).buttonEnabled);
  EXPECT_TRUE(viewForTick(at(Stage::Verifying)).buttonEnabled);
}

TEST(TickView, FinishedClosesWithoutTouchingTheText) {
  const TickView view = viewForTick(at(Stage::Finished));
  EXPECT_TRUE(view.destroy);
  EXPECT_FALSE(view.statusText.has_value());
}

TEST(TickView, FailureShowsMessageAndCloseButtonAndStaysOpenUnlessCancelled) {
  TickInput input = at(Stage::Failed);
  input.resultCode = -7;
  input.cancelRequested = true;
  input.message = L"网络请求失败，请重试";
  TickView view = viewForTick(input);
  EXPECT_EQ(*view.statusText, L"网络请求失败，请重试");
  EXPECT_EQ(*view.buttonText, L"关闭");
  EXPECT_TRUE(view.buttonEnabled);
  EXPECT_EQ(view.marquee, Marquee::Stop);
  EXPECT_FALSE(view.marqueeStyle.has_value());
  EXPECT_FALSE(view.destroy);

  input.resultCode = -10;
  input.message = L"Extraction cancelled";
  view = viewForTick(input);
  EXPECT_TRUE(view.destroy);
  EXPECT_EQ(*view.statusText, L"Extraction cancelled");
}

}  // namespace
}  // namespace cv
