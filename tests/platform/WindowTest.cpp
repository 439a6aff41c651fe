// Windows and message queues: posting order across threads, what happens to messages whose
// window goes away, children, the foreground window and the pixel surface with its PNG file.
#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <thread>

#include "platform/Windows.h"
#include "velmira/platform.h"

namespace {

std::atomic<int> Discarded{0};
void CountDiscard(uint32_t, uintptr_t, intptr_t lParam) { Discarded += static_cast<int>(lParam); }

TEST(WindowMessages, ComeOutInPostingOrderFromAnotherThread) {
  HWND w = VmWindow_New(nullptr, 0, 0, 10, 10);
  constexpr int Count = 5000;
  std::thread poster([w] {
    for (int i = 0; i < Count; ++i) platform::PostMessageW(w, 1125, 1, i);
  });
  VmMsg m;
  for (int i = 0; i < Count; ++i) {
    ASSERT_EQ(VmWindow_GetMessage(w, &m, -1), 1);
    ASSERT_TRUE(m.lParam == i && m.hwnd == w && m.message == 1125u) << i;
  }
  poster.join();
  EXPECT_EQ(VmWindow_GetMessage(w, &m, 0), 0);
  VmWindow_Delete(w);
}

TEST(WindowMessages, DeleteDiscardsPendingOfTheWholeTreeWakesWaitersAndLaterPostsFail) {
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 100), idle = VmWindow_New(nullptr, 0, 0, 1, 1);
  HWND child = VmWindow_New(top, 10, 10, 20, 20), grandchild = VmWindow_New(child, 1, 1, 5, 5);
  std::atomic<int> result{2};
  std::thread waiter([&] {  // it may or may not be waiting yet; either way it must come back
    platform::MSG m;
    result = platform::GetMessageW(&m, idle, platform::INFINITE);
  });
  VmWindow_Delete(idle);
  waiter.join();
  EXPECT_EQ(result, -1);
  // This thread has just posted to the window when it goes: the look-up it remembers must
  // not outlive the window. Messages left after a take go back with the window too.
  Discarded = 0;
  EXPECT_TRUE(platform::PostMessageW(top, 1125, 1, 1, CountDiscard));
  platform::PostMessageW(top, 1125, 1, 10, CountDiscard);
  VmMsg m;
  ASSERT_EQ(VmWindow_GetMessage(top, &m, 0), 1);  // the reader takes the oldest
  EXPECT_EQ(m.lParam, 1);
  platform::PostMessageW(grandchild, 1125, 1, 100, CountDiscard);
  platform::PostMessageW(grandchild, 1125, 1, 1000, nullptr);  // carries nothing
  VmWindow_Delete(top);
  EXPECT_EQ(Discarded, 110);
  EXPECT_FALSE(platform::IsWindow(child) || platform::IsWindow(grandchild));
  EXPECT_EQ(VmWindow_New(child, 0, 0, 1, 1), nullptr);
  EXPECT_FALSE(platform::PostMessageW(top, 1125, 5, 7, CountDiscard));
  EXPECT_FALSE(platform::PostMessageW(nullptr, 1125, 5, 7, CountDiscard));
  EXPECT_EQ(Discarded, 110) << "a refused post leaves the object with the caller";
  EXPECT_EQ(VmWindow_GetMessage(top, &m, 0), 0);
}

TEST(WindowTree, ForegroundAndChildLookup) {
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 50);
  HWND left = VmWindow_New(top, 0, 0, 40, 50);
  HWND overlap = VmWindow_New(top, 30, 0, 40, 50);  // created later: on top of left
  VmWindow_SetForeground(left);
  EXPECT_EQ(platform::GetForegroundWindow(), left);
  const std::pair<platform::POINT, HWND> hits[] = {
      {{5, 5}, left}, {{35, 5}, overlap}, {{70, 5}, top},  // right edges are exclusive
      {{99, 49}, top}, {{100, 0}, nullptr}, {{-1, 0}, nullptr}};
  for (auto [at, want] : hits) EXPECT_EQ(platform::ChildWindowFromPoint(top, at), want) << at.x;
  VmWindow_Delete(left);
  EXPECT_EQ(platform::GetForegroundWindow(), nullptr);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {5, 5}), top);
  VmWindow_Delete(top);
  EXPECT_FALSE(platform::IsWindow(overlap));
}

TEST(WindowSurface, NewSurfaceIsWhiteSidesAreClampedAndThePngHoldsThePixelsInRgb) {
  HWND w = VmWindow_New(nullptr, 0, 0, 3, 2), odd = VmWindow_New(nullptr, 0, 0, -5, 1 << 30);
  int32_t width = 0, height = 0, stride = 0;
  uint8_t* px = const_cast<uint8_t*>(VmWindow_GetPixels(w, &width, &height, &stride));
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(width * 10000 + height * 100 + stride, 30212);
  EXPECT_EQ(std::vector<uint8_t>(px, px + stride * height), std::vector<uint8_t>(24, 0xFF));
  VmWindow_GetPixels(odd, &width, &height, nullptr);
  EXPECT_EQ(width * 100000 + height, platform::MaxWindowSide);
  VmWindow_Delete(odd);
  EXPECT_EQ(VmWindow_GetPixels(odd, &width, nullptr, nullptr), nullptr);
  EXPECT_EQ(width, 0);

  px[0] = 0x10;  // pixel (0,0): blue 0x10, green 0x20, red 0x30
  px[1] = 0x20;
  px[2] = 0x30;
  const std::string path = ::testing::TempDir() + "velmira_window.png";
  ASSERT_EQ(VmWindow_SavePng(w, path.c_str()), 1);
  EXPECT_EQ(VmWindow_SavePng(w, "/nonexistent-dir/x.png") + VmWindow_SavePng(w, nullptr), 0);
  VmWindow_Delete(w);
  EXPECT_EQ(VmWindow_SavePng(w, "/tmp/never.png"), 0);
  // libpng checks the signature, the chunk CRCs and the compressed stream.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
  EXPECT_EQ(image.width * 100 + image.height, 302u);
  EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB)) << "8-bit RGB, no alpha";
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
  std::remove(path.c_str());
  std::vector<uint8_t> want(18, 0xFF);
  want[0] = 0x30, want[1] = 0x20, want[2] = 0x10;
  EXPECT_EQ(rgb, want);
}

}  // namespace
