# SPDX-License-Identifier: GPL-3.0-or-later
# What the plug-in tests share (quillmere_test_support): the VST 2 reference, the test signal, the bit-for-bit
# comparison and the side-by-side run of a format and the VST 2 plug-in. On top of quillmere_host only and free of
# threads, so the Windows check hosts build it with mingw-w64 too; included by tests/CMakeLists.txt and by their
# own projects after HostLibrary.cmake.
if(TARGET quillmere_test_support)
  return()
endif()
get_filename_component(quillmere_test_support_root ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
add_library(quillmere_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FormatDriver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SameBits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TestSignal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Vst2Reference.cpp)
target_include_directories(quillmere_test_support PUBLIC ${quillmere_test_support_root})
target_link_libraries(quillmere_test_support PUBLIC quillmere_host)
