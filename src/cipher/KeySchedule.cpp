#include "cipher/KeySchedule.h"

#include <string>

#include "base/Error.h"
#include "cipher/KeyScheduleSide.h"

namespace scrivlock::cipher {

void TKeySchedule::SetKey(std::string_view key) {
  if (key.size() < kMinKeyLength) throw TError(kShortKeyError);
  if (key.size() > kMaxKeyLength) throw TError(kLongKeyError);
  if (FSBoxes == nullptr) throw TError(kNoSBoxesError);

  std::string padded(key);
  while (padded.size() % 4 != 0) padded += 'R';
  const size_t half = padded.size() / 2;
  const std::string_view left = std::string_view(padded).substr(0, half);
  const std::string_view right = std::string_view(padded).substr(half);

  TKeyScheduleSide a(FSBoxes, 0);
  TKeyScheduleSide b(FSBoxes, 1);
  // The checked key lengths keep the sides' own errors from arising; should one
  // arise all the same, the schedule keeps what it has and reports nothing.
  try {
    if (a.Link(&b) != 2 || b.Link(&a) != 2) throw TError(kLinkError);
    a.SetKey(left);
    b.SetKey(right);
    uint16_t feedA = 0;
    uint16_t feedB = 0;
    for (int step = 0; step <= 16; ++step) {
      uint16_t outA = 0;
      uint16_t outB = 0;
      // A steps first: B's selectors come from A's state after this step.
      feedA = a.Next(feedA, outA);
      feedB = b.Next(feedB, outB);
      if (step >= 1) FSubKeys[static_cast<size_t>(step - 1)] = CombineSubKey(outA, outB);
    }
  } catch (const TError&) {
  }
}

}  // namespace scrivlock::cipher
