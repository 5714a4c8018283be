// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "IPlug/IPlugBase.h"
#include "dsp/DenormalGuard.h"
#include "dsp/ProcessorFeatures.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define QUILLMERE_FRAME_AVX2 1
#else
#define QUILLMERE_FRAME_AVX2 0
#endif

namespace {

// The 32-bit paths' conversion loops, four samples to an instruction on processors with AVX2 and in plain
// loops elsewhere; each sample goes through the same conversion or float addition either way. Each AVX2 loop
// ends by clearing the upper register halves itself: the compiler leaves that out after instructions that
// read 256 bits but write 128, and the legacy SSE code that runs next, here or in the host, would then be
// slowed on every instruction.
#if QUILLMERE_FRAME_AVX2
const bool kFrameUsesAvx2 = ProcessorHasAvx2();

__attribute__((target("avx2"))) void WidenAvx2(const float* source, double* target, int n) {
  int s = 0;
  for (; s + 8 <= n; s += 8) {
    _mm256_storeu_pd(target + s, _mm256_cvtps_pd(_mm_loadu_ps(source + s)));
    _mm256_storeu_pd(target + s + 4, _mm256_cvtps_pd(_mm_loadu_ps(source + s + 4)));
  }
  for (; s < n; ++s) target[s] = source[s];
  _mm256_zeroupper();
}

__attribute__((target("avx2"))) void NarrowAvx2(const double* source, float* target, int n) {
  int s = 0;
  for (; s + 8 <= n; s += 8) {
    _mm_storeu_ps(target + s, _mm256_cvtpd_ps(_mm256_loadu_pd(source + s)));
    _mm_storeu_ps(target + s + 4, _mm256_cvtpd_ps(_mm256_loadu_pd(source + s + 4)));
  }
  for (; s < n; ++s) target[s] = static_cast<float>(source[s]);
  _mm256_zeroupper();
}

__attribute__((target("avx2"))) void NarrowAndAddAvx2(const double* source, float* target, int n) {
  int s = 0;
  for (; s + 4 <= n; s += 4) {
    _mm_storeu_ps(target + s,
                  _mm_add_ps(_mm_loadu_ps(target + s), _mm256_cvtpd_ps(_mm256_loadu_pd(source + s))));
  }
  for (; s < n; ++s) target[s] = target[s] + static_cast<float>(source[s]);
  _mm256_zeroupper();
}
#endif

void Widen(const float* source, double* target, int n) {
#if QUILLMERE_FRAME_AVX2
  if (kFrameUsesAvx2) return WidenAvx2(source, target, n);
#endif
  for (int s = 0; s < n; ++s) target[s] = source[s];
}

void Narrow(const double* source, float* target, int n) {
#if QUILLMERE_FRAME_AVX2
  if (kFrameUsesAvx2) return NarrowAvx2(source, target, n);
#endif
  for (int s = 0; s < n; ++s) target[s] = static_cast<float>(source[s]);
}

// The sum is formed in 32-bit arithmetic.
void NarrowAndAdd(const double* source, float* target, int n) {
#if QUILLMERE_FRAME_AVX2
  if (kFrameUsesAvx2) return NarrowAndAddAvx2(source, target, n);
#endif
  for (int s = 0; s < n; ++s) target[s] = target[s] + static_cast<float>(source[s]);
}

// Cuts the channel range (first, count) to 0 ... n - 1; empty when it lies outside.
void CutRange(int first, int count, int n, int* begin, int* end) {
  const int64_t last = static_cast<int64_t>(first) + count;
  *begin = std::max(first, 0);
  *end = static_cast<int>(std::min<int64_t>(last, n));
}

}  // namespace

void IPlugBase::SetInputsConnected(int first, int count, bool connected) {
  int begin, end;
  CutRange(first, count, InChannelCount(), &begin, &end);
  for (int i = begin; i < end; ++i) {
    IInputConnection* connection = mInputConnections.Get(i);
    connection->mIsConnected = connected;
    if (!connected) *connection->mSlot = connection->mScratch.Get();
  }
  NoteConnections();
}

void IPlugBase::SetOutputsConnected(int first, int count, bool connected) {
  int begin, end;
  CutRange(first, count, OutChannelCount(), &begin, &end);
  for (int i = begin; i < end; ++i) {
    IOutputConnection* connection = mOutputConnections.Get(i);
    connection->mIsConnected = connected;
    if (!connected) *connection->mSlot = connection->mScratch.Get();
  }
  NoteConnections();
}

void IPlugBase::NoteConnections() {
  mInputEntries = 0;
  mOutputEntries = 0;
  for (int i = 0; i < InChannelCount(); ++i) mInputEntries += mInputConnections.Get(i)->mIsConnected ? 1 : 0;
  for (int i = 0; i < OutChannelCount(); ++i)
    mOutputEntries += mOutputConnections.Get(i)->mIsConnected ? 1 : 0;
  const bool every = mInputEntries == InChannelCount() && mOutputEntries == OutChannelCount();
  mEveryChannelConnected = every;
  mStereoConnected = every && InChannelCount() == 2 && OutChannelCount() == 2;
  NoteStereoPath();
}

void IPlugBase::NoteStereoPath() {
  if (!mStereoConnected) return;
  mStereo.inSlots = mInputSlots.Get();
  mStereo.outSlots = mOutputSlots.Get();
  for (int c = 0; c < 2; ++c) {
    mStereo.inScratch[c] = mInputConnections.Get(c)->mScratch.Get();
    mStereo.outputs[c] = mOutputConnections.Get(c);
    mStereo.outScratch[c] = mStereo.outputs[c]->mScratch.Get();
  }
}

void IPlugBase::LimitExtraChannels() {
  const int nIn = InChannelCount(), nOut = OutChannelCount();
  if (nIn > 2) SetInputsConnected(2, nIn - 2, false);
  if (nOut > 2) SetOutputsConnected(2, nOut - 2, true);
}

void IPlugBase::ApplyBlockSize(int nFrames) {
  // A block size below 1 is ignored: the scratch buffers must hold at least one block.
  if (nFrames < 1 || nFrames == mFramesPerBlock) return;
  // Should memory run out, the block size becomes the shortest buffer held, so no block outgrows its buffers.
  int held = nFrames;
  auto resize = [&held, nFrames](ITypedBuffer<double>& scratch) {
    if (!scratch.Resize(nFrames)) held = std::min(held, scratch.Count());
    std::fill(scratch.Get(), scratch.Get() + scratch.Count(), 0.0);
  };
  for (int i = 0; i < InChannelCount(); ++i) resize(mInputConnections.Get(i)->mScratch);
  for (int i = 0; i < OutChannelCount(); ++i) resize(mOutputConnections.Get(i)->mScratch);
  for (int i = 0; i < InChannelCount(); ++i) {
    IInputConnection* connection = mInputConnections.Get(i);
    if (!connection->mIsConnected) *connection->mSlot = connection->mScratch.Get();
  }
  for (int i = 0; i < OutChannelCount(); ++i) {
    IOutputConnection* connection = mOutputConnections.Get(i);
    if (!connection->mIsConnected) *connection->mSlot = connection->mScratch.Get();
  }
  mFramesPerBlock = held;
  NoteStereoPath();
}

void IPlugBase::BindInputBuffers(int first, int count, float** inputs, int nFrames) {
  int begin, end;
  CutRange(first, count, InChannelCount(), &begin, &end);
  for (int i = begin; i < end; ++i) {
    IInputConnection* connection = mInputConnections.Get(i);
    if (!connection->mIsConnected) continue;
    const float* source = *inputs++;
    double* scratch = connection->mScratch.Get();
    Widen(source, scratch, nFrames);
    *connection->mSlot = scratch;
  }
}

void IPlugBase::BindInputBuffers(int first, int count, double** inputs, int /*nFrames*/) {
  int begin, end;
  CutRange(first, count, InChannelCount(), &begin, &end);
  for (int i = begin; i < end; ++i) {
    IInputConnection* connection = mInputConnections.Get(i);
    if (connection->mIsConnected) *connection->mSlot = *inputs++;
  }
}

void IPlugBase::BindOutputBuffers(int first, int count, float** outputs) {
  int begin, end;
  CutRange(first, count, OutChannelCount(), &begin, &end);
  for (int i = begin; i < end; ++i) {
    IOutputConnection* connection = mOutputConnections.Get(i);
    if (!connection->mIsConnected) continue;
    *connection->mSlot = connection->mScratch.Get();
    connection->mFloatTarget = *outputs++;
  }
}

void IPlugBase::BindOutputBuffers(int first, int count, double** outputs) {
  int begin, end;
  CutRange(first, count, OutChannelCount(), &begin, &end);
  for (int i = begin; i < end; ++i) {
    IOutputConnection* connection = mOutputConnections.Get(i);
    if (connection->mIsConnected) *connection->mSlot = *outputs++;
  }
}

template <>
void IPlugBase::ProcessBlock<double>(int nFrames) {
  ProcessDoubleBlock(mInputSlots.Get(), mOutputSlots.Get(), nFrames);
}

template <>
void IPlugBase::ProcessBlock<float>(int nFrames) {
  ProcessDoubleBlock(mInputSlots.Get(), mOutputSlots.Get(), nFrames);
  for (int i = 0; i < OutChannelCount(); ++i) {
    const IOutputConnection* connection = mOutputConnections.Get(i);
    if (!connection->mIsConnected) continue;
    Narrow(*connection->mSlot, connection->mFloatTarget, nFrames);
  }
}

void IPlugBase::ProcessBlockAccumulating(int nFrames) {
  ProcessDoubleBlock(mInputSlots.Get(), mOutputSlots.Get(), nFrames);
  for (int i = 0; i < OutChannelCount(); ++i) {
    const IOutputConnection* connection = mOutputConnections.Get(i);
    if (!connection->mIsConnected) continue;
    NarrowAndAdd(*connection->mSlot, connection->mFloatTarget, nFrames);
  }
}

template <class Sample>
void IPlugBase::ProcessHostFrames(Sample** inputs, Sample** outputs, uint32_t first, uint32_t nFrames,
                                  bool accumulate) {
  if (mFramesPerBlock < 1) return;
  Sample** const pieceInputs = PieceInputs(inputs);
  Sample** const pieceOutputs = PieceOutputs(outputs);
  const uint32_t blockSize = static_cast<uint32_t>(mFramesPerBlock);
  while (nFrames > 0) {
    const uint32_t call = std::min(nFrames, kMaxCallFrames);
    for (uint32_t done = 0; done < call;) {
      const int piece = static_cast<int>(std::min(blockSize, call - done));
      const size_t at = static_cast<size_t>(first) + done;
      for (int j = 0; j < mInputEntries; ++j) pieceInputs[j] = inputs[j] + at;
      for (int j = 0; j < mOutputEntries; ++j) pieceOutputs[j] = outputs[j] + at;
      if constexpr (std::is_same_v<Sample, float>) {
        if (accumulate) {
          ProcessHostBlockAccumulating(pieceInputs, pieceOutputs, piece);
        } else {
          ProcessHostBlock(pieceInputs, pieceOutputs, piece);
        }
      } else {
        ProcessHostBlock(pieceInputs, pieceOutputs, piece);
      }
      done += static_cast<uint32_t>(piece);
    }
    first += call;
    nFrames -= call;
  }
}

template void IPlugBase::ProcessHostFrames<float>(float**, float**, uint32_t, uint32_t, bool);
template void IPlugBase::ProcessHostFrames<double>(double**, double**, uint32_t, uint32_t, bool);

// With every channel connected, host entry i is channel i, so binding is a walk over the channels in step
// with the host's arrays; the slots, scratch buffers and 32-bit targets end up as the general binding leaves
// them.
void IPlugBase::ProcessConnectedBlock(float** inputs, float** outputs, int nFrames, bool accumulate) {
  double** inSlots = mInputSlots.Get();
  double** outSlots = mOutputSlots.Get();
  const int nIn = InChannelCount(), nOut = OutChannelCount();
  for (int i = 0; i < nIn; ++i) inSlots[i] = mInputConnections.Get(i)->mScratch.Get();
  for (int i = 0; i < nOut; ++i) {
    IOutputConnection* connection = mOutputConnections.Get(i);
    outSlots[i] = connection->mScratch.Get();
    connection->mFloatTarget = outputs[i];
  }
  if (!accumulate && ProcessFloatBlockDirect(inputs, outputs, inSlots, outSlots, nFrames)) return;
  for (int i = 0; i < nIn; ++i) Widen(inputs[i], inSlots[i], nFrames);
  ProcessDoubleBlock(inSlots, outSlots, nFrames);
  for (int i = 0; i < nOut; ++i) {
    if (accumulate) {
      NarrowAndAdd(outSlots[i], outputs[i], nFrames);
    } else {
      Narrow(outSlots[i], outputs[i], nFrames);
    }
  }
}

void IPlugBase::ProcessConnectedBlock(double** inputs, double** outputs, int nFrames) {
  double** inSlots = mInputSlots.Get();
  double** outSlots = mOutputSlots.Get();
  for (int i = 0, n = InChannelCount(); i < n; ++i) inSlots[i] = inputs[i];
  for (int i = 0, n = OutChannelCount(); i < n; ++i) outSlots[i] = outputs[i];
  ProcessDoubleBlock(inSlots, outSlots, nFrames);
}

// The slots, scratch buffers and 32-bit targets end up as ProcessConnectedBlock leaves them.
void IPlugBase::ProcessStereoHostBlock(float** inputs, float** outputs, int nFrames) {
  DenormalGuard denormalGuard;
  StereoPath& path = mStereo;
  path.inSlots[0] = path.inScratch[0];
  path.inSlots[1] = path.inScratch[1];
  path.outSlots[0] = path.outScratch[0];
  path.outSlots[1] = path.outScratch[1];
  path.outputs[0]->mFloatTarget = outputs[0];
  path.outputs[1]->mFloatTarget = outputs[1];
  if (!ProcessFloatBlockDirect(inputs, outputs, path.inScratch, path.outScratch, nFrames))
    ConvertStereoHostBlock(inputs, outputs, nFrames);
}

// Out of line, so the stereo block above saves no registers for it.
__attribute__((noinline)) void IPlugBase::ConvertStereoHostBlock(float** inputs, float** outputs,
                                                                 int nFrames) {
  for (int i = 0; i < 2; ++i) Widen(inputs[i], mStereo.inScratch[i], nFrames);
  ProcessDoubleBlock(mStereo.inScratch, mStereo.outScratch, nFrames);
  for (int i = 0; i < 2; ++i) Narrow(mStereo.outScratch[i], outputs[i], nFrames);
}

void IPlugBase::ProcessAnyHostBlock(float** inputs, float** outputs, int nFrames, bool accumulate) {
  if (nFrames <= 0 || mFramesPerBlock < 1) return;
  if (nFrames > mFramesPerBlock) {
    ProcessHostFrames(inputs, outputs, 0, static_cast<uint32_t>(nFrames), accumulate);
    return;
  }
  // Flushing covers the narrowing too, so no subnormal float reaches the host.
  DenormalGuard denormalGuard;
  if (mEveryChannelConnected) {
    ProcessConnectedBlock(inputs, outputs, nFrames, accumulate);
    return;
  }
  BindInputBuffers(0, InChannelCount(), inputs, nFrames);
  BindOutputBuffers(0, OutChannelCount(), outputs);
  if (accumulate) {
    ProcessBlockAccumulating(nFrames);
  } else {
    ProcessBlock<float>(nFrames);
  }
}

// The slots hold two entries each; they end up as ProcessConnectedBlock leaves them.
void IPlugBase::ProcessStereoHostBlock(double** inputs, double** outputs, int nFrames) {
  DenormalGuard denormalGuard;
  double** const inSlots = mStereo.inSlots;
  double** const outSlots = mStereo.outSlots;
  inSlots[0] = inputs[0];
  inSlots[1] = inputs[1];
  outSlots[0] = outputs[0];
  outSlots[1] = outputs[1];
  ProcessDoubleBlock(inputs, outputs, nFrames);
}

void IPlugBase::ProcessAnyHostBlock(double** inputs, double** outputs, int nFrames) {
  if (nFrames <= 0 || mFramesPerBlock < 1) return;
  if (nFrames > mFramesPerBlock) {
    ProcessHostFrames(inputs, outputs, 0, static_cast<uint32_t>(nFrames), false);
    return;
  }
  DenormalGuard denormalGuard;
  if (mEveryChannelConnected) {
    ProcessConnectedBlock(inputs, outputs, nFrames);
    return;
  }
  BindInputBuffers(0, InChannelCount(), inputs, nFrames);
  BindOutputBuffers(0, OutChannelCount(), outputs);
  ProcessBlock<double>(nFrames);
}
