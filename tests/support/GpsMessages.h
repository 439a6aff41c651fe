// Reading the parser's window messages in tests: draining a window's queue, and giving back
// the reference each message carries through its family's Delete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "velmira/velmira.h"

namespace testsupport {

// Deletes the object a message 1125 carries, through the family its kind names.
void DeleteCarried(const VmMsg& m);

// Every message queued now (or arriving within waitMs of the last one), in order.
std::vector<VmMsg> Drain(HWND window, int32_t waitMs = 0);

// The kinds of the messages, e.g. {5, 7, 1}.
std::vector<uintptr_t> Kinds(const std::vector<VmMsg>& messages);

// Deletes every carried object.
void DeleteAll(const std::vector<VmMsg>& messages);

// UTF-16 copy of narrow text, for NmeaParser_Parse.
std::u16string Wide(const std::string& text);

// Takes messages until one of `kind` arrives (within timeoutMs overall); the others are
// deleted. Returns it (the caller deletes its object) or a message with kind 0 on time-out.
VmMsg WaitForKind(HWND window, uintptr_t kind, int32_t timeoutMs);

}  // namespace testsupport
