// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Counts heap allocations (malloc and its relatives, and therefore operator new) made on the arming thread,
// by any code in the process, the dlopened plug-in included.
namespace torture {

void ArmAllocationCounting();
// Stops counting and answers the number of allocations since arming.
long DisarmAllocationCounting();

// RAII form: Count() can be read while armed.
class AllocationCount {
 public:
  AllocationCount() { ArmAllocationCounting(); }
  ~AllocationCount() { Stop(); }
  long Stop() {
    if (mArmed) mCount = DisarmAllocationCounting();
    mArmed = false;
    return mCount;
  }

 private:
  bool mArmed = true;
  long mCount = 0;
};

}  // namespace torture
