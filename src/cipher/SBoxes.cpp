#include "cipher/SBoxes.h"

#include <cstdio>

namespace scrivlock::cipher {

TSBoxes::TSBoxes() {
  constexpr int32_t p = kPrime;
  for (int32_t i = 1; i <= 64; ++i) {
    int32_t a = p;
    int32_t b = i;
    int32_t t0 = 0;
    int32_t t1 = 1;
    int32_t q = a / b;
    int32_t r = a - q * b;
    while (r > 0) {
      int32_t t = t0 - q * t1;
      t = t >= 0 ? t % p : p - ((-t) % p);
      t0 = t1;
      t1 = t;
      a = b;
      b = r;
      q = a / b;
      r = a - q * b;
    }
    if (b != 1) {
      char message[96];
      std::snprintf(message, sizeof message, kNotPrimeError, p);
      throw TError(message);
    }
    FInverses[static_cast<size_t>(i)] = t1;
  }
  for (int32_t i = 1; i <= 64; ++i) {
    if (int64_t{FInverses[static_cast<size_t>(i)]} * i % p != 1) throw TError(kInverseError);
  }
}

void TSBoxes::ThrowIterationsError() {
  throw TError(kIterationsError);
}

}  // namespace scrivlock::cipher
