// The two drawing paths a frame of the viewer spends its time in: copying the rendered
// 1920 x 1080 24-bit view into a window (beside a plain memcpy of the same bytes; the goal is
// at most 1.5 times the memcpy; the copy shares its rows with the worker pool, so both are
// rated by wall time, and the one-thread copy is measured beside it) and drawing labels as a label's drawing does it, with a font
// made and deleted around each one (goal: 100,000 labels of 20 characters per second once the
// glyphs are cached).
#include "platform/Gdi.h"
#include "platform/WorkerPool.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using namespace platform;

constexpr int32_t Width = 1920;
constexpr int32_t Height = 1080;

struct View {
  HWND Window = VmWindow_New(nullptr, 0, 0, Width, Height);
  HDC Target = GetDC(Window);
  HDC Memory = CreateCompatibleDC(Target);
  HBITMAP Dib = nullptr;
  HGDIOBJ Previous = nullptr;
  uint8_t* Bits = nullptr;
  size_t Bytes = 0;

  View() {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, Height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    Dib = CreateDIBSection(Memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<uint8_t*>(bits);
    Bytes = static_cast<size_t>((Width * 3 + 3) / 4 * 4) * Height;
    for (size_t i = 0; i < Bytes; ++i) Bits[i] = static_cast<uint8_t>(i * 7);
    Previous = SelectObject(Memory, Dib);
  }
  ~View() {
    SelectObject(Memory, Previous);
    DeleteObject(Dib);
    DeleteDC(Memory);
    ReleaseDC(Window, Target);
    VmWindow_Delete(Window);
  }
};

// The argument is the number of threads the copy may use.
void BitBlt24To32(benchmark::State& state) {
  View v;
  WorkerPool::Shared().SetThreads(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    BitBlt(v.Target, 0, 0, Width, Height, v.Memory, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
  WorkerPool::Shared().SetThreads(0);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * v.Bytes));
}
BENCHMARK(BitBlt24To32)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

void MemcpySameBytes(benchmark::State& state) {
  View v;
  std::vector<uint8_t> out(v.Bytes);
  for (auto _ : state) {
    std::memcpy(out.data(), v.Bits, v.Bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * v.Bytes));
}
BENCHMARK(MemcpySameBytes)->UseRealTime()->Unit(benchmark::kMillisecond);

// One label as DrawTextBox draws it: font made, selected and coloured, the text drawn
// transparently, everything put back and the font deleted.
void Labels(benchmark::State& state) {
  View v;
  LOGFONTW font{};
  font.lfHeight = -13;
  font.lfWeight = FW_NORMAL;
  const char16_t face[] = u"Times";
  std::memcpy(font.lfFaceName, face, sizeof face);
  const char16_t* text = u"Harbour master 12:45";  // 20 characters
  int32_t i = 0;
  for (auto _ : state) {
    RECT r{(i * 37) % (Width - 200), (i * 17) % (Height - 30), 0, 0};
    r.right = r.left + 160;
    r.bottom = r.top + 20;
    ++i;
    HFONT f = CreateFontIndirectW(&font);
    HGDIOBJ previousFont = SelectObject(v.Memory, f);
    COLORREF previousColour = SetTextColor(v.Memory, RGB(20, 40, 160));
    int32_t previousMode = SetBkMode(v.Memory, TRANSPARENT);
    DrawTextW(v.Memory, text, 20, &r, DT_CENTER | DT_VCENTER | DT_NOPREFIX | DT_WORDBREAK);
    SetBkMode(v.Memory, previousMode);
    SelectObject(v.Memory, previousFont);
    SetTextColor(v.Memory, previousColour);
    DeleteObject(f);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Labels);

}  // namespace

BENCHMARK_MAIN();
