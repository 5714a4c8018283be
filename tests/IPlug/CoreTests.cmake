# SPDX-License-Identifier: GPL-3.0-or-later
# Containers, parameters and the state chunk.
add_executable(iplug_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/IHeapBufferTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ContainersTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IStateChunkTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugParamTest.cpp
)
target_link_libraries(iplug_core_tests PRIVATE iplug_core GTest::gtest_main)
gtest_discover_tests(iplug_core_tests)
