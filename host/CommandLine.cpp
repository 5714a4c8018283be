// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "Presets.h"
#include "RenderError.h"

namespace {

[[noreturn]] void UsageError(const std::string& message) {
  throw RenderError(message + " (see --help)", RenderError::kUsage);
}

long ParseInteger(const std::string& text, const std::string& what) {
  if (text.empty()) UsageError(what + " needs a whole number");
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) UsageError(what + ": \"" + text + "\" is not a whole number");
  return value;
}

double ParseNumber(const std::string& text, const std::string& what) {
  if (text.empty()) UsageError(what + " needs a number");
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0') UsageError(what + ": \"" + text + "\" is not a number");
  return value;
}

ParamSetting ParseSet(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) UsageError("--set needs \"Name=value\", got \"" + text + "\"");
  ParamSetting setting;
  setting.mName = text.substr(0, eq);
  setting.mText = text.substr(eq + 1);
  return setting;
}

ParamSetting ParseSetNormalized(const std::string& text) {
  const auto eq = text.find('=');
  if (eq == std::string::npos) UsageError("--set-normalized needs \"INDEX=VALUE\", got \"" + text + "\"");
  ParamSetting setting;
  setting.mNormalized = true;
  const long index = ParseInteger(text.substr(0, eq), "--set-normalized index");
  if (index < 0 || index > 0x7fffffff)
    UsageError("--set-normalized index " + text.substr(0, eq) + " is negative");
  setting.mIndex = static_cast<int>(index);
  setting.mValue = ParseNumber(text.substr(eq + 1), "--set-normalized value");
  if (!(setting.mValue >= 0.0 && setting.mValue <= 1.0))
    UsageError("--set-normalized value " + text.substr(eq + 1) + " is outside 0 to 1");
  return setting;
}

}  // namespace

RenderOptions CommandLine::Parse(const std::vector<std::string>& args) {
  RenderOptions options;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  bool precisionGiven = false;

  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool hasInlineValue = false;
    if (arg.compare(0, 2, "--") == 0) {
      const auto eq = arg.find('=');
      if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
        hasInlineValue = true;
      }
    }
    auto takeValue = [&]() -> std::string {
      if (hasInlineValue) return value;
      if (i + 1 >= args.size()) UsageError(name + " needs a value");
      return args[++i];
    };
    auto noValue = [&]() {
      if (hasInlineValue) UsageError(name + " takes no value");
    };

    if (name == "--help" || name == "-h") {
      noValue();
      options.mHelp = true;
    } else if (name == "--version") {
      noValue();
      options.mVersion = true;
    } else if (name == "--force" || name == "-f") {
      noValue();
      options.mForce = true;
    } else if (name == "--quiet" || name == "-q") {
      noValue();
      options.mQuiet = true;
    } else if (name == "--list-params") {
      noValue();
      options.mListParams = true;
    } else if (name == "--list-presets") {
      noValue();
      options.mListPresets = true;
    } else if (name == "--preset") {
      options.mPreset = takeValue();
      if (!IsPresetName(options.mPreset))
        UsageError("no preset named \"" + options.mPreset + "\"; --list-presets shows them");
    } else if (name == "--block") {
      const long block = ParseInteger(takeValue(), "--block");
      if (block < 1 || block > 1048576) UsageError("--block must be between 1 and 1048576 frames");
      options.mBlockSize = static_cast<int>(block);
    } else if (name == "--precision") {
      const std::string p = takeValue();
      if (p == "double") {
        options.mPrecision = EPrecision::kDouble;
      } else if (p == "float") {
        options.mPrecision = EPrecision::kFloat;
      } else {
        UsageError("--precision must be double or float, not \"" + p + "\"");
      }
      if (precisionGiven) UsageError("--precision given twice");
      precisionGiven = true;
    } else if (name == "--format") {
      const std::string f = takeValue();
      if (f == "float") {
        options.mFormat = EOutputFormat::kFloat;
      } else if (f == "pcm16") {
        options.mFormat = EOutputFormat::kPcm16;
      } else if (f == "pcm24") {
        options.mFormat = EOutputFormat::kPcm24;
      } else {
        UsageError("--format must be float, pcm16 or pcm24, not \"" + f + "\"");
      }
    } else if (name == "--set") {
      options.mSettings.push_back(ParseSet(takeValue()));
    } else if (name == "--set-normalized") {
      options.mSettings.push_back(ParseSetNormalized(takeValue()));
    } else if (name == "--plugin") {
      options.mPluginPath = takeValue();
      if (options.mPluginPath.empty()) UsageError("--plugin needs a path");
    } else if (name == "--save-state") {
      options.mSaveState = takeValue();
      if (options.mSaveState.empty()) UsageError("--save-state needs a file name");
    } else if (name == "--output-dir") {
      options.mOutputDir = takeValue();
      if (options.mOutputDir.empty()) UsageError("--output-dir needs a folder");
    } else if (name == "--jobs" || name == "-j") {
      const long jobs = ParseInteger(takeValue(), "--jobs");
      if (jobs < 1 || jobs > 1024) UsageError("--jobs must be between 1 and 1024");
      options.mJobs = static_cast<int>(jobs);
    } else if (name == "--load-state") {
      options.mLoadState = takeValue();
      if (options.mLoadState.empty()) UsageError("--load-state needs a file name");
    } else {
      UsageError("unknown option " + name);
    }
  }

  if (options.mHelp || options.mVersion) return options;
  if (options.mListPresets) {
    if (!positional.empty()) UsageError("--list-presets takes no INPUT or OUTPUT");
    return options;
  }
  if (!options.mPreset.empty() && !options.mLoadState.empty())
    UsageError("--preset and --load-state both set every parameter; give one of them");
  if (options.mJobs != 0 && options.mOutputDir.empty()) UsageError("--jobs needs --output-dir");
  if (!options.mOutputDir.empty()) {
    if (options.mListParams) UsageError("--list-params takes no --output-dir");
    if (!options.mSaveState.empty())
      UsageError("--save-state cannot be used with --output-dir; save the state with --list-params");
    if (positional.empty()) UsageError("--output-dir needs at least one INPUT");
    std::vector<std::string> names;
    for (const std::string& input : positional) {
      const std::string output = BatchOutputPath(options.mOutputDir, input);
      if (input.empty() || output.back() == '/') UsageError("\"" + input + "\" is not a file name");
      if (std::find(names.begin(), names.end(), output) != names.end())
        UsageError("two inputs would both be written to " + output);
      names.push_back(output);
    }
    options.mInputs = positional;
    return options;
  }
  if (options.mListParams) {
    if (!positional.empty()) UsageError("--list-params takes no INPUT or OUTPUT");
    return options;
  }
  if (positional.size() == 1) UsageError("OUTPUT is missing");
  if (positional.size() > 2) UsageError("too many arguments: \"" + positional[2] + "\"");
  if (positional.size() == 2) {
    options.mInput = positional[0];
    options.mOutput = positional[1];
    if (options.mInput.empty() || options.mOutput.empty()) UsageError("INPUT and OUTPUT must not be empty");
  } else {
    options.mOutput = kDemoFileName;
  }
  if (!options.mSaveState.empty() && options.mSaveState == options.mLoadState)
    UsageError("--save-state and --load-state name the same file");
  return options;
}

std::string CommandLine::BatchOutputPath(const std::string& folder, const std::string& input) {
  const auto slash = input.find_last_of('/');
  const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return (path == "/" ? path : path + "/") + name;
}

std::string CommandLine::HelpText() {
  return R"(Usage: quillmere-render [options] INPUT OUTPUT
       quillmere-render [options] --output-dir DIR INPUT...
       quillmere-render [options]                 (renders the demo signal)
       quillmere-render [options] --list-params
       quillmere-render --list-presets

Runs an audio file through a VST 2 effect (by default the Quillmere plug-in) and
writes the result. Reads and writes WAV, AIFF and FLAC at the file's own sample
rate; a mono INPUT feeds both inputs of the effect and gives a stereo OUTPUT.
The container of OUTPUT follows its extension (.wav, .aiff/.aif, .flac, ...).
Without INPUT and OUTPUT it renders about 10 s of a built-in demo signal (pink
noise and a slow sine sweep, 44100 Hz stereo) to quillmere-demo.wav in the
current folder, replacing an earlier demo file.

Options:
  --block N              frames per processing block (default 512)
  --precision double|float
                         64-bit (processDoubleReplacing, the default when the
                         effect offers it) or 32-bit processing (processReplacing)
  --preset NAME          start from the factory preset NAME (before any --set)
  --list-presets         print the factory presets with their values and exit
  --set "NAME=TEXT"      set a parameter by name to a value in its own units;
                         the effect parses and clamps the text; for a value
                         shown as a number the text must start with a number
                         (repeatable). Each value set is printed as the effect
                         shows it.
  --set-normalized I=X   set parameter number I to the normalised value X, 0 to 1
                         (repeatable)
  --list-params          print index, name, value, unit and normalised value of
                         every parameter (after --load-state, --preset and --set)
                         and exit
  --load-state FILE      restore the effect's program state from FILE first
  --save-state FILE      save the effect's program state, after the settings
  --plugin PATH          load this VST 2 library instead of Quillmere.so
  --format float|pcm16|pcm24
                         sample format of OUTPUT (default: the input's)
  --output-dir DIR       render every INPUT, each through its own instance with
                         the same settings, to DIR/NAME (NAME: the input's file
                         name); a file that fails does not stop the others
  -j, --jobs N           render N files at a time (default: one per core)
  -f, --force            replace an existing OUTPUT or state file (a regular
                         file; for a symbolic link, the file it points to)
  -q, --quiet            print only warnings and errors: no progress bar, no
                         parameter values, no summary line
  -h, --help             show this text
  --version              show the version

While rendering more than 5 s of audio, a progress bar is shown on standard
error when it is a terminal; at the end one summary line goes to standard
output. A value text that is read only in part or clamped prints a warning.

OUTPUT is written to a temporary file beside it and renamed when complete; it
can never be INPUT itself. Errors print one line and exit with 1 (2 for a
wrong command line), leaving no output behind. Interrupted by SIGINT, SIGTERM
or SIGHUP, it removes its temporary file and ends by that signal.

With --output-dir, each failed file prints one line naming it and the exit
status is 1 when any failed; a stop signal stops every file and leaves none
half written. Inputs are never overwritten.

Examples:
  quillmere-render --set "Freqz Split=2000" --set "LR to HighFreqz=1.5" \
      --format pcm24 song.wav song-wide.wav
  quillmere-render --set "Freqz Split=2000" --output-dir wide/ songs/*.wav
)";
}
