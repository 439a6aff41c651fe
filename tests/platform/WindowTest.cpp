// Windows and message queues: posting order across threads, what happens to messages whose
// window goes away, children, the foreground window and the pixel surface with its PNG file.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

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
    EXPECT_EQ(m.hwnd, w);
    EXPECT_EQ(m.message, 1125u);
  }
  poster.join();
  EXPECT_EQ(VmWindow_GetMessage(w, &m, 0), 0);
  VmWindow_Delete(w);
}

TEST(WindowMessages, PostToDeletedWindowFailsAndLeavesOwnershipWithCaller) {
  HWND w = VmWindow_New(nullptr, 0, 0, 1, 1);
  Discarded = 0;
  // This thread has just posted to the window when it goes: the look-up it remembers must
  // not outlive the window.
  EXPECT_TRUE(platform::PostMessageW(w, 1125, 5, 3, CountDiscard));
  VmWindow_Delete(w);
  EXPECT_EQ(Discarded, 3);
  Discarded = 0;
  EXPECT_FALSE(platform::PostMessageW(w, 1125, 5, 7, CountDiscard));
  EXPECT_FALSE(platform::PostMessageW(nullptr, 1125, 5, 7, CountDiscard));
  EXPECT_EQ(Discarded, 0);
  VmMsg m;
  EXPECT_EQ(VmWindow_GetMessage(w, &m, 0), 0);
}

TEST(WindowMessages, DeletingParentDiscardsPendingMessagesOfWholeTree) {
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 100);
  HWND child = VmWindow_New(top, 10, 10, 20, 20);
  HWND grandchild = VmWindow_New(child, 1, 1, 5, 5);
  ASSERT_NE(grandchild, nullptr);
  Discarded = 0;
  platform::PostMessageW(top, 1125, 1, 1, CountDiscard);
  platform::PostMessageW(grandchild, 1125, 1, 10, CountDiscard);
  platform::PostMessageW(grandchild, 1125, 1, 100, nullptr);  // carries nothing
  VmWindow_Delete(top);
  EXPECT_EQ(Discarded, 11);
  EXPECT_FALSE(platform::IsWindow(child));
  EXPECT_FALSE(platform::IsWindow(grandchild));
  EXPECT_EQ(VmWindow_New(child, 0, 0, 1, 1), nullptr);
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

TEST(WindowMessages, DeleteWakesWaiterInsteadOfLeavingItBlocked) {
  HWND w = VmWindow_New(nullptr, 0, 0, 1, 1);
  std::atomic<int> result{2};
  std::thread waiter([&] {
    platform::MSG m;
    result = platform::GetMessageW(&m, w, platform::INFINITE);
  });
  // The waiter may or may not have started waiting yet; either way it must come back.
  VmWindow_Delete(w);
  waiter.join();
  EXPECT_EQ(result, -1);
}

TEST(WindowTree, ForegroundAndChildLookup) {
  HWND top = VmWindow_New(nullptr, 0, 0, 100, 50);
  HWND left = VmWindow_New(top, 0, 0, 40, 50);
  HWND overlap = VmWindow_New(top, 30, 0, 40, 50);  // created later: on top of left
  VmWindow_SetForeground(left);
  EXPECT_EQ(platform::GetForegroundWindow(), left);

  EXPECT_EQ(platform::ChildWindowFromPoint(top, {5, 5}), left);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {35, 5}), overlap);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {70, 5}), top);  // right edge is exclusive
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {99, 49}), top);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {100, 0}), nullptr);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {-1, 0}), nullptr);

  VmWindow_Delete(left);
  EXPECT_EQ(platform::GetForegroundWindow(), nullptr);
  EXPECT_EQ(platform::ChildWindowFromPoint(top, {5, 5}), top);
  VmWindow_Delete(top);
  EXPECT_FALSE(platform::IsWindow(overlap));
}

TEST(WindowSurface, NewSurfaceIsWhiteAndSizesAreClamped) {
  HWND w = VmWindow_New(nullptr, 0, 0, 3, 2);
  int32_t width = 0, height = 0, stride = 0;
  const uint8_t* px = VmWindow_GetPixels(w, &width, &height, &stride);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(stride, 12);
  for (int i = 0; i < stride * height; ++i) ASSERT_EQ(px[i], 0xFF) << i;
  VmWindow_Delete(w);

  HWND odd = VmWindow_New(nullptr, 0, 0, -5, 1 << 30);
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

TEST(WindowSurface, PngHoldsPixelsInRgbOrderWithValidChunks) {
  HWND w = VmWindow_New(nullptr, 0, 0, 2, 2);
  platform::Surface s;
  ASSERT_TRUE(platform::GetWindowSurface(w, &s));
  s.Bits[0] = 0x10;  // pixel (0,0): blue 0x10, green 0x20, red 0x30
  s.Bits[1] = 0x20;
  s.Bits[2] = 0x30;
  std::string path = ::testing::TempDir() + "velmira_window.png";
  ASSERT_EQ(VmWindow_SavePng(w, path.c_str()), 1);
  VmWindow_Delete(w);

  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), {});
  std::remove(path.c_str());
  ASSERT_GT(file.size(), 8u + 25 + 12 + 12);
  EXPECT_EQ(std::vector<unsigned char>(file.begin(), file.begin() + 8),
            (std::vector<unsigned char>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  std::vector<unsigned char> idat;
  size_t at = 8;
  int chunks = 0;
  while (at + 12 <= file.size() && chunks < 16) {
    uint32_t size = BigEndian(&file[at]);
    ASSERT_LE(at + 12 + size, file.size());
    std::string type(file.begin() + at + 4, file.begin() + at + 8);
    uint32_t crc = static_cast<uint32_t>(crc32(0, &file[at + 4], 4 + size));
    EXPECT_EQ(BigEndian(&file[at + 8 + size]), crc) << type;
    if (type == "IHDR") {
      EXPECT_EQ(BigEndian(&file[at + 8]), 2u);
      EXPECT_EQ(BigEndian(&file[at + 12]), 2u);
      EXPECT_EQ(file[at + 16], 8);  // bit depth
      EXPECT_EQ(file[at + 17], 2);  // RGB
    }
    if (type == "IDAT") idat.insert(idat.end(), &file[at + 8], &file[at + 8] + size);
    at += 12 + size;
    ++chunks;
  }
  EXPECT_EQ(at, file.size());
  unsigned char raw[2 * (1 + 6)];
  uLongf rawSize = sizeof raw;
  ASSERT_EQ(uncompress(raw, &rawSize, idat.data(), idat.size()), Z_OK);
  ASSERT_EQ(rawSize, sizeof raw);
  const unsigned char expected[] = {0, 0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF,
                                    0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  for (size_t i = 0; i < sizeof raw; ++i) EXPECT_EQ(raw[i], expected[i]) << i;
}

TEST(WindowSurface, SavePngRefusesMissingWindowAndUnwritablePath) {
  HWND w = VmWindow_New(nullptr, 0, 0, 1, 1);
  EXPECT_EQ(VmWindow_SavePng(w, "/nonexistent-dir/x.png"), 0);
  EXPECT_EQ(VmWindow_SavePng(w, nullptr), 0);
  VmWindow_Delete(w);
  EXPECT_EQ(VmWindow_SavePng(w, "/tmp/never.png"), 0);
}

}  // namespace
