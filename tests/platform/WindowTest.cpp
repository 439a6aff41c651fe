// Windows and message queues: posting order across threads, what happens to messages whose
// window goes away, children, the foreground window and the pixel surface with its PNG file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <fstream>
#include <iterator>
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
    ASSERT_EQ(m.lParam, i);
    ASSERT_TRUE(m.hwnd == w && m.message == 1125u) << i;
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
  // not outlive the window.
  Discarded = 0;
  EXPECT_TRUE(platform::PostMessageW(top, 1125, 1, 1, CountDiscard));
  platform::PostMessageW(grandchild, 1125, 1, 10, CountDiscard);
  platform::PostMessageW(grandchild, 1125, 1, 100, nullptr);  // carries nothing
  VmWindow_Delete(top);
  EXPECT_EQ(Discarded, 11);
  EXPECT_FALSE(platform::IsWindow(child) || platform::IsWindow(grandchild));
  EXPECT_EQ(VmWindow_New(child, 0, 0, 1, 1), nullptr);
  EXPECT_FALSE(platform::PostMessageW(top, 1125, 5, 7, CountDiscard));
  EXPECT_FALSE(platform::PostMessageW(nullptr, 1125, 5, 7, CountDiscard));
  EXPECT_EQ(Discarded, 11) << "a refused post leaves the object with the caller";
  VmMsg m;
  EXPECT_EQ(VmWindow_GetMessage(top, &m, 0), 0);
}

TEST(WindowMessages, MessagesLeftAfterATakeAreStillDiscardedWithTheWindow) {
  HWND w = VmWindow_New(nullptr, 0, 0, 1, 1);
  Discarded = 0;
  for (int carried : {1, 10, 100}) platform::PostMessageW(w, 1125, 1, carried, CountDiscard);
  VmMsg m;
  ASSERT_EQ(VmWindow_GetMessage(w, &m, 0), 1);  // the reader takes the oldest...
  EXPECT_EQ(m.lParam, 1);
  platform::PostMessageW(w, 1125, 1, 1000, CountDiscard);
  VmWindow_Delete(w);  // ...and the rest, taken over or not, goes back with the window
  EXPECT_EQ(Discarded, 1110);
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

TEST(WindowSurface, NewSurfaceIsWhiteAndSizesAreClamped) {
  HWND w = VmWindow_New(nullptr, 0, 0, 3, 2), odd = VmWindow_New(nullptr, 0, 0, -5, 1 << 30);
  int32_t width = 0, height = 0, stride = 0;
  const uint8_t* px = VmWindow_GetPixels(w, &width, &height, &stride);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(width * 10000 + height * 100 + stride, 30212);
  EXPECT_EQ(std::vector<uint8_t>(px, px + stride * height), std::vector<uint8_t>(24, 0xFF));
  VmWindow_Delete(w);
  VmWindow_GetPixels(odd, &width, &height, nullptr);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, platform::MaxWindowSide);
  VmWindow_Delete(odd);
  EXPECT_EQ(VmWindow_GetPixels(odd, &width, nullptr, nullptr), nullptr);
  EXPECT_EQ(width, 0);
}

uint32_t BigEndian(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

TEST(WindowSurface, PngHoldsPixelsInRgbOrderWithValidChunksAndBadTargetsAreRefused) {
  HWND w = VmWindow_New(nullptr, 0, 0, 2, 2);
  platform::Surface s;
  ASSERT_TRUE(platform::GetWindowSurface(w, &s));
  s.Bits[0] = 0x10;  // pixel (0,0): blue 0x10, green 0x20, red 0x30
  s.Bits[1] = 0x20;
  s.Bits[2] = 0x30;
  const std::string path = ::testing::TempDir() + "velmira_window.png";
  ASSERT_EQ(VmWindow_SavePng(w, path.c_str()), 1);
  EXPECT_EQ(VmWindow_SavePng(w, "/nonexistent-dir/x.png") + VmWindow_SavePng(w, nullptr), 0);
  VmWindow_Delete(w);
  EXPECT_EQ(VmWindow_SavePng(w, "/tmp/never.png"), 0);

  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), {});
  std::remove(path.c_str());
  ASSERT_GT(file.size(), 8u + 25 + 12 + 12);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "\x89PNG\r\n\x1A\n");
  std::vector<unsigned char> idat;
  size_t at = 8;
  for (int chunks = 0; at + 12 <= file.size() && chunks < 16; ++chunks) {
    const uint32_t size = BigEndian(&file[at]);
    ASSERT_LE(at + 12 + size, file.size());
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    EXPECT_EQ(BigEndian(&file[at + 8 + size]), crc32(0, &file[at + 4], 4 + size)) << type;
    if (type == "IHDR") {  // 2 x 2, 8 bits, RGB
      EXPECT_EQ(std::vector<unsigned char>(&file[at + 8], &file[at + 18]),
                (std::vector<unsigned char>{0, 0, 0, 2, 0, 0, 0, 2, 8, 2}));
    }
    if (type == "IDAT") idat.insert(idat.end(), &file[at + 8], &file[at + 8] + size);
    at += 12 + size;
  }
  EXPECT_EQ(at, file.size());
  std::vector<unsigned char> raw(2 * (1 + 6) + 1);  // a filter byte and RGB per row
  uLongf rawSize = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawSize, idat.data(), idat.size()), Z_OK);
  raw.resize(rawSize);
  EXPECT_EQ(raw, (std::vector<unsigned char>{0, 0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF, 0, 0xFF,
                                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

}  // namespace
