# SPDX-License-Identifier: GPL-3.0-or-later
# The plug-in base object: lock, channels, processing frame, host identity, state and presets.
find_package(Threads REQUIRED)
add_executable(iplug_base_tests
  ${CMAKE_CURRENT_LIST_DIR}/HostIdentificationTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugBaseTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugMutexTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugPresetsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugStateTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProcessingFrameTest.cpp
)
target_link_libraries(iplug_base_tests PRIVATE iplug GTest::gtest_main Threads::Threads)
gtest_discover_tests(iplug_base_tests)
