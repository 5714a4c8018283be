// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line options of quillmere-render and their parser.
#pragma once

#include <string>
#include <vector>

enum class EPrecision { kDefault, kDouble, kFloat };
enum class EOutputFormat { kSameAsInput, kFloat, kPcm16, kPcm24 };

// One --set or --set-normalized, applied in command-line order.
struct ParamSetting {
  bool mNormalized = false;
  std::string mName;  // --set: the parameter's name
  int mIndex = -1;    // --set-normalized: the parameter's index
  std::string mText;  // --set: the value text in the parameter's own units
  double mValue = 0;  // --set-normalized: 0 to 1
};

struct RenderOptions {
  std::string mInput;   // empty: render the demo signal
  std::string mOutput;  // empty with an empty input: the demo file
  // Batch: every input is rendered to mOutputDir/NAME, on mJobs threads (0: one per core).
  std::string mOutputDir;
  std::vector<std::string> mInputs;
  int mJobs = 0;
  std::string mPluginPath;
  std::string mSaveState;
  std::string mLoadState;
  int mBlockSize = 512;
  EPrecision mPrecision = EPrecision::kDefault;
  EOutputFormat mFormat = EOutputFormat::kSameAsInput;
  std::string mPreset;  // a factory preset, applied before the settings
  std::vector<ParamSetting> mSettings;
  bool mListParams = false;
  bool mListPresets = false;
  bool mForce = false;
  bool mQuiet = false;  // no progress bar, no parameter lines, no summary
  bool mHelp = false;
  bool mVersion = false;
};

class CommandLine {
 public:
  static constexpr const char* kDemoFileName = "quillmere-demo.wav";

  // The output a batch writes for input: the folder, then the input's own file name.
  static std::string BatchOutputPath(const std::string& folder, const std::string& input);

  // Throws RenderError with the usage exit code for anything it cannot accept.
  static RenderOptions Parse(const std::vector<std::string>& args);
  static std::string HelpText();
};
