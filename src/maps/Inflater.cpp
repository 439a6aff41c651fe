#include "maps/Inflater.h"

#include <cstdlib>
#include <cstring>

#include "maps/File.h"

namespace velmira {
namespace {

constexpr uint32_t SmallChunk = 1u << 20;

}  // namespace

Inflater::~Inflater() { End(); }

void Inflater::Begin(int32_t size) {
  End();
  uint32_t wanted = size > 0 ? static_cast<uint32_t>(size) : 0;
  // Never allocate much for data the file does not have: a damaged size must not become a
  // huge allocation. The read of the full size still fails in the file's record, as it would.
  // (Sizes up to SmallChunk, every real tile among them, skip the check and its three moves.)
  uint32_t held = wanted;
  if (held > SmallChunk) {
    const uint64_t left = Source.BytesLeft();
    if (held > left) held = static_cast<uint32_t>(left);
  }
  if (held > 0) {
    Buffer = static_cast<uint8_t*>(std::malloc(held));
  }
  if (Buffer == nullptr) {
    Source.Seek(static_cast<int32_t>(held), File::FromCurrent);  // keep to the chunk sequence
    held = 0;
  }
  // Only what was read goes to the stream: a short read must not feed it unset bytes.
  const int32_t got = held > 0 ? Source.Read(Buffer, static_cast<int32_t>(held)) : 0;
  BufferSize = got > 0 ? static_cast<uint32_t>(got) : 0;
  if (BufferSize < wanted) Source.GetError().Set(errors::FileAccess);
  Stream = z_stream{};
  Stream.next_in = Buffer;
  Stream.avail_in = BufferSize;
  Started = inflateInit(&Stream) == Z_OK;
}

uint32_t Inflater::ReadInto(uint8_t* destination, uint32_t count) {
  Stream.next_out = destination;
  Stream.avail_out = count;
  if (Started) inflate(&Stream, Z_SYNC_FLUSH);
  const uint32_t written = count - Stream.avail_out;
  if (written < count) std::memset(destination + written, 0xFF, count - written);
  return written;
}

void Inflater::End() {
  if (Started) inflateEnd(&Stream);
  Started = false;
  std::free(Buffer);
  Buffer = nullptr;
  BufferSize = 0;
}

void Inflater::InflateRows(const uint8_t* data, uint32_t size, uint8_t* first, intptr_t stride,
                           uint32_t rowBytes, int32_t rows) {
  z_stream stream{};
  stream.next_in = const_cast<uint8_t*>(data);
  stream.avail_in = size;
  const bool started = inflateInit(&stream) == Z_OK;
  for (int32_t k = 0; k < rows; ++k) {
    uint8_t* row = first + k * stride;
    stream.next_out = row;
    stream.avail_out = rowBytes;
    if (started) inflate(&stream, Z_SYNC_FLUSH);
    const uint32_t written = rowBytes - stream.avail_out;
    if (written < rowBytes) std::memset(row + written, 0xFF, rowBytes - written);
  }
  if (started) inflateEnd(&stream);
}

}  // namespace velmira
