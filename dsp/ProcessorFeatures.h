// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whether this processor runs AVX2 instructions, asked once per process. Code compiled for AVX2 may only run
// where this is true; everything else in the library runs on any x86-64 processor.
inline bool ProcessorHasAvx2() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  static const bool hasAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return hasAvx2;
#else
  return false;
#endif
}
