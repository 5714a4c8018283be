# SPDX-License-Identifier: GPL-3.0-or-later
# Finds the VST 3 interface headers (pluginterfaces/) where Debian's juce-modules-source-data installs them, or
# under -DVST3_SDK_DIR=<folder holding pluginterfaces/> (an SDK checkout on another system).
#   VST3SDK_FOUND, VST3SDK_INCLUDE_DIR, and the interface target VST3SDK::pluginterfaces.
# Only the headers are used: the plug-in and the test host compare interface IDs through the headers' inline
# constants, so none of the SDK's sources is compiled.
set(VST3_SDK_DIR "" CACHE PATH "Folder holding the VST 3 SDK's pluginterfaces/ (found in Debian's location if empty)")

# The cross toolchains search only their own root; these folders are outside it on purpose.
find_path(VST3SDK_INCLUDE_DIR
  NAMES pluginterfaces/vst/ivstaudioprocessor.h
  HINTS ${VST3_SDK_DIR} $ENV{VST3_SDK_DIR}
  PATHS /usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK
        /usr/local/share/juce/modules/juce_audio_processors/format_types/VST3_SDK
  NO_DEFAULT_PATH
  NO_CMAKE_FIND_ROOT_PATH)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(VST3SDK REQUIRED_VARS VST3SDK_INCLUDE_DIR)

if(VST3SDK_FOUND AND NOT TARGET VST3SDK::pluginterfaces)
  add_library(VST3SDK::pluginterfaces INTERFACE IMPORTED)
  # The SDK's headers are included as system headers: their warnings are not ours.
  set_target_properties(VST3SDK::pluginterfaces PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${VST3SDK_INCLUDE_DIR}"
                                                           INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${VST3SDK_INCLUDE_DIR}")
endif()
mark_as_advanced(VST3SDK_INCLUDE_DIR)
