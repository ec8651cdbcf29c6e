#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>
#include <string_view>

namespace mok::cli {
namespace {

// An option as written: its canonical long name and its value, if it takes one.
struct KnownOption {
  char short_name;  // 0: none
  std::string_view long_name;
  bool takes_value;
};

constexpr KnownOption kOptions[] = {
    {'f', "input-format", true}, {'t', "output-format", true},
    {'o', "output", true},       {'d', "output-dir", true},
    {'j', "jobs", true},         {'h', "help", false},
    {0, "version", false},       {0, "then", false},
    {0, "format", true},         {0, "cp", true},
    {0, "lcid", true},           {0, "apply", false},
    {'c', "omit-invalid", false}, {0, "replace", false},
    {0, "keep", false},          {0, "force", false},
    {'r', "recursive", false},   {0, "log", true},
    {0, "undo", true},
};

// The options of names; every other option is refused there, and these are
// refused elsewhere (but --apply, which suggest takes too).
constexpr std::string_view kNamesOptions[] = {"recursive", "apply", "log", "undo", "help", "version"};

// "-4": a negative language code, never an option (no option starts with a digit).
bool IsNegativeNumber(std::string_view word) {
  if (word.size() < 2 || word[0] != '-') return false;
  for (const char c : word.substr(1)) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Commands other than the steps; each has its Action, which main()
// dispatches on. A new one is a row here, an Action and its handler.
struct OtherCommand {
  std::string_view name;
  Action action;
  bool reads_inputs;  // takes input files (or standard input)
};

constexpr OtherCommand kOtherCommands[] = {
    {"list", Action::List, false}, {"suggest", Action::Suggest, true}, {"names", Action::Names, true}};

class Parser {
 public:
  Parser(std::span<const std::string> words, Invocation& call) : words_(words), call_(call) {}

  bool Run(std::string& error);

 private:
  bool Option(std::string_view word, std::string& error);
  bool Apply(const KnownOption& known, const std::string& value, std::string& error);
  bool Positional(const std::string& word, std::string& error);
  bool CheckNames(std::string& error) const;
  bool StepValue(std::optional<std::string>& slot, std::string_view option, const std::string& value,
                 std::string& error);

  std::span<const std::string> words_;
  std::size_t at_ = 0;
  Invocation& call_;
  std::string command_;                  // the first command word
  const OtherCommand* other_ = nullptr;  // the first command when it is no step
  bool want_command_ = false;            // after --then
  bool seen_omit_ = false, seen_replace_ = false;
  std::vector<std::pair<std::string, std::string_view>> seen_;  // each option as given, and its long name
};

bool Parser::Run(std::string& error) {
  bool only_files = false;
  for (; at_ < words_.size(); ++at_) {
    const std::string& word = words_[at_];
    if (!only_files && word == "--") {
      only_files = true;
    } else if (!only_files && word.size() > 1 && word[0] == '-' && !IsNegativeNumber(word)) {
      if (!Option(word, error)) return false;
      if (call_.action == Action::Help || call_.action == Action::Version) return true;
    } else if (!Positional(word, error)) {
      return false;
    }
  }
  if (want_command_) {
    error = "--then 后面缺少命令";
    return false;
  }
  if (command_.empty()) {
    error = "缺少命令";
    return false;
  }
  for (const StepRequest& step : call_.steps) {
    if (step.operands.size() < OperandCount(step.command, step.operands)) {
      error = step.command + " 缺少参数";
      return false;
    }
  }
  if (seen_omit_ && seen_replace_) {
    error = "-c 和 --replace 只能用一个";
    return false;
  }
  if (!CheckNames(error)) return false;
  if (call_.apply && call_.action != Action::Suggest && call_.action != Action::Names) {
    error = "--apply 只用于 suggest 和 names";
    return false;
  }
  if (call_.action == Action::Suggest && !call_.apply && call_.inputs.size() > 1) {
    error = "suggest 一次列出一个输入的解读；多个文件请加 --apply";
    return false;
  }
  if (!call_.output_file.empty() && !call_.output_dir.empty()) {
    error = "-o 和 -d 只能用一个";
    return false;
  }
  if (!call_.output_file.empty() && call_.inputs.size() > 1) {
    error = "-o 只能用于一个输入文件，多个文件请用 -d";
    return false;
  }
  if (!call_.output_dir.empty()) {
    if (call_.inputs.empty()) {
      error = "-d 需要输入文件的名字";
      return false;
    }
    for (const std::string& input : call_.inputs) {
      if (input == "-") {
        error = "-d 不能用于标准输入";
        return false;
      }
    }
  }
  return true;
}

bool Parser::CheckNames(std::string& error) const {
  const bool names = call_.action == Action::Names;
  for (const auto& [option, name] : seen_) {
    const bool for_names = std::find(std::begin(kNamesOptions), std::end(kNamesOptions), name) != std::end(kNamesOptions);
    if (names && !for_names) {
      error = "names 不用选项 " + option;
      return false;
    }
    if (!names && for_names && name != "apply" && name != "help" && name != "version") {
      error = "选项 " + option + " 只用于 names";
      return false;
    }
  }
  if (!names) return true;
  if (call_.undo_log && (!call_.inputs.empty() || call_.recursive || call_.apply || !call_.log_file.empty())) {
    error = "--undo 只带改名记录，不和文件、-r、--apply、--log 一起用";
    return false;
  }
  if (!call_.log_file.empty() && !call_.apply) {
    error = "--log 只用于 --apply";
    return false;
  }
  return true;
}

bool Parser::Option(std::string_view word, std::string& error) {
  const KnownOption* known = nullptr;
  std::optional<std::string> value;
  if (word.substr(0, 2) == "--") {
    std::string_view name = word.substr(2);
    if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
      value = std::string(name.substr(equals + 1));
      name = name.substr(0, equals);
    }
    for (const KnownOption& option : kOptions) {
      if (option.long_name == name) known = &option;
    }
  } else {
    for (const KnownOption& option : kOptions) {
      if (option.short_name != 0 && option.short_name == word[1]) known = &option;
    }
    if (known != nullptr && word.size() > 2) {
      if (!known->takes_value)
        known = nullptr;  // no bundling of flags
      else
        value = std::string(word.substr(2));
    }
  }
  if (known == nullptr) {
    error = "未知的选项 “" + std::string(word) + "”";
    return false;
  }
  seen_.emplace_back(word.substr(0, 2) == "--" ? "--" + std::string(known->long_name) : std::string(word.substr(0, 2)),
                     known->long_name);
  if (known->takes_value && !value) {
    if (at_ + 1 >= words_.size()) {
      error = "选项 " + std::string(word) + " 缺少值";
      return false;
    }
    value = words_[++at_];
  } else if (!known->takes_value && value) {
    error = "选项 --" + std::string(known->long_name) + " 不带值";
    return false;
  }
  return Apply(*known, value.value_or(std::string()), error);
}

bool Parser::Apply(const KnownOption& known, const std::string& value, std::string& error) {
  const std::string_view name = known.long_name;
  if (name == "help") {
    call_.action = Action::Help;
  } else if (name == "version") {
    call_.action = Action::Version;
  } else if (name == "apply") {
    call_.apply = true;
  } else if (name == "omit-invalid") {
    call_.invalid = Invalid::Omit;
    seen_omit_ = true;
  } else if (name == "replace") {
    call_.invalid = Invalid::Replace;
    seen_replace_ = true;
  } else if (name == "keep") {
    call_.keep = true;
  } else if (name == "force") {
    call_.force = true;
  } else if (name == "recursive") {
    call_.recursive = true;
  } else if (name == "log") {
    call_.log_file = value;
  } else if (name == "undo") {
    call_.undo_log = value;
  } else if (name == "then") {
    if (other_ != nullptr) {
      error = command_ + " 后面不能接 --then";
      return false;
    }
    if (call_.steps.empty() && command_ != "convert") {
      error = "--then 前面缺少命令";
      return false;
    }
    want_command_ = true;
  } else if (name == "input-format" || name == "output-format") {
    if (!ParseFileEncoding(value, name == "input-format" ? call_.input : call_.output)) {
      error = "未知的文件格式 “" + value + "”（mok list 列出可用的格式）";
      return false;
    }
  } else if (name == "output") {
    call_.output_file = value;
  } else if (name == "output-dir") {
    call_.output_dir = value;
  } else if (name == "jobs") {
    unsigned jobs = 0;
    const auto [end, problem] = std::from_chars(value.data(), value.data() + value.size(), jobs);
    if (problem != std::errc() || end != value.data() + value.size() || jobs == 0 || jobs > 1024) {
      error = "-j 需要 1 到 1024 的数";
      return false;
    }
    call_.jobs = jobs;
  } else if (other_ != nullptr) {
    error = command_ + " 不用选项 --" + std::string(name);
    return false;
  } else if (call_.steps.empty()) {
    error = "选项 --" + std::string(name) + " 前面缺少命令";
    return false;
  } else {
    StepRequest& step = call_.steps.back();
    auto& slot = name == "format" ? step.format : name == "cp" ? step.cp : step.lcid;
    return StepValue(slot, name, value, error);
  }
  return true;
}

bool Parser::StepValue(std::optional<std::string>& slot, std::string_view option, const std::string& value,
                       std::string& error) {
  if (slot) {
    error = "选项 --" + std::string(option) + " 给了两次";
    return false;
  }
  slot = value;
  return true;
}

bool Parser::Positional(const std::string& word, std::string& error) {
  if (command_.empty() || want_command_) {
    const bool first = command_.empty();
    for (const OtherCommand& other : kOtherCommands) {
      if (first && word == other.name) {
        command_ = word;
        call_.action = other.action;
        other_ = &other;
        return true;
      }
    }
    if (!IsStepCommand(word) || (!first && word == "convert")) {
      error = "未知的命令 “" + word + "”";
      return false;
    }
    if (first) command_ = word;
    want_command_ = false;
    if (word != "convert") call_.steps.push_back({word, {}, {}, {}, {}});
    return true;
  }
  if (!call_.steps.empty()) {
    StepRequest& step = call_.steps.back();
    if (step.operands.size() < OperandCount(step.command, step.operands)) {
      step.operands.push_back(word);
      return true;
    }
  }
  if (call_.action == Action::List && call_.search.empty()) {
    call_.search = word;
    return true;
  }
  if (other_ != nullptr && !other_->reads_inputs) {
    error = command_ + (call_.action == Action::List ? " 只带一个要找的名字" : " 不带参数");
    return false;
  }
  call_.inputs.push_back(word);
  return true;
}

}  // namespace

bool ParseInvocation(std::span<const std::string> words, Invocation& call, std::string& error) {
  call = Invocation();
  error.clear();
  Parser parser(words, call);
  return parser.Run(error);
}

}  // namespace mok::cli
