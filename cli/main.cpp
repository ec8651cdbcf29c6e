#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "cli/file_runs.h"
#include "cli/names.h"
#include "cli/options.h"
#include "cli/steps.h"
#include "cli/suggest.h"

namespace {

constexpr std::string_view kHelp = R"(用法: mok [选项] 命令 [参数…] [--then 命令 [参数…]]… [文件…]

读懂乱码和传送编码的文字：用窗口程序 mokrin 各菜单项的名字，成批处理文件。
没有文件或文件为 - 时读标准输入；结果默认写到标准输出，编码为 UTF-8。

命令:
  convert                 只换文件编码，不改文字（-f、-t）
  a2b 名字                第二个解读菜单的一项，如 GB--Big5、GB--Utf8
  lcid A B                按语文区号 A 编码、按语文区号 B 解码（数字或名字，如 GB Big5）
  cp A B                  按代码页 A 编码、按代码页 B 解码（数字或名字，如 936 950）
  decode 名字             第一、三个解读菜单的一项，如 QP-GBK、Base64-Utf8、HZ-GB、
                          Esc+日文(ISO-2022)、GB+半字；
                          CP+半字 --cp 代码页；Trans-LCID --format 格式 --lcid 语文区号；
                          Trans-CP --format 格式 --cp 代码页；LCID--LCID A B；CP--CP A B
  make 名字               编写“乱码”的一项，如 QP-GBK、Base64-Utf8、Utf7、HZ-GB
  suggest [文件]          像“自动解读”一样按可信度列出至多五种解读，每种一段：
                          名次、语言、第一种的可信度（明确、难分或仍像乱码）、
                          做同样事的菜单命令；原来怎样读错了（无法恢复的字数）；
                          逐段修复的位置；解读后的开头（一行）
  suggest --apply [文件…] 不列出，写出最可信的解读；最可信的是不改动时未经改动
  list [名字]             列出可用的名字、编号、别名和格式；给了名字时只列出含有它的行
  names [-r] [文件夹|文件…]
                          修复乱码的文件名（文件夹：改它里面的名字；文件：改它自己的名字；
                          默认为当前文件夹）。像“自动解读”一样解读，只改解读明确的名字；
                          默认只列出“原名 → 新名”和原来怎样读错了，加 --apply 才改名；
                          从不覆盖已有的名字（同名的跳过并报告）
  names --undo 记录       按改名记录把名字改回去，后改的先改回

选项:
  -f, --input-format 格式   输入文件的编码：gbk gb18030 latin1 utf16le-bom utf16be-bom
                            utf8-bom utf16le utf16be utf8，代码页的数字（如 950）或名字，
                            或 iconv 用的名字（utf-8、big5、cp950、shift_jis、euc-jp、
                            iso-8859-1、windows-1252、koi8-r……）；默认像窗口的“打开”
                            一样识别，合乎规范的 UTF-8 不论多短都按 UTF-8 读
  -t, --output-format 格式  输出的编码，名字同上；默认 utf8
  -c, --omit-invalid        略去不能解码的字节和输出编码写不出的字符（默认停止）
      --replace             换成 U+FFFD（输出编码没有它时换成“?”）
      --keep                不能解码的字节照原样写出（窗口的无损做法）
  -o, --output 文件         写到这个文件（写完才出现或写进去，不留半截文件；
                            已有的文件保留权限、所有者和硬链接）
      --force               -o 的文件只读时也写入
  -d, --output-dir 文件夹   每个输入文件以原名写到这个文件夹，多个文件同时处理
  -j, --jobs N              同时处理的文件数，默认为处理器核数
      --then 命令           接着做下一步，可以多次
      --format, --cp, --lcid  前一个命令的参数（见上）
      --apply               suggest 写出最可信的解读，而不是列出；names 真的改名
  -r, --recursive           names 也改各层子文件夹里的名字（先改里面的，再改文件夹自己的）
      --log 文件            names --apply 的改名记录写到这个文件（改名之前写好）；
                            默认为当前文件夹里的 mok-names-日期-时间.log
      --undo 记录           names 按改名记录改回
  -h, --help                显示本说明
      --version             显示版本

退出状态: 0 成功；1 某一步未经改动（结果为空，或 suggest 没有可做的解读），或遇到不能解码的
          字节、写不出的字符（标准错误写明字节偏移）；这个输入不写结果；
          2 用法不对，或文件读不了、写不了。
          names：0 改了（或会改）名字；1 没有要改的名字；2 有名字改不成（如已有同名的）或文件夹读不了。
convert、a2b、lcid、cp、QP、URL、Base64、UTF-7、HZ 的解读和 suggest --apply 分块流式处理，
文件多大都只占少量内存（suggest --apply 在开头一段上选出解读）；其他命令一次读入一个文件。
)";

void Print(std::string_view text, int fd = STDOUT_FILENO) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

int UsageError(const std::string& message) {
  Print("mok: " + message + "（mok --help 列出用法）\n", STDERR_FILENO);
  return mok::cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace mok::cli;
  try {
    const std::vector<std::string> words(argv + (argc > 0 ? 1 : argc), argv + argc);
    Invocation call;
    std::string error;
    if (!ParseInvocation(words, call, error)) return UsageError(error);
    RunPlan plan;
    switch (call.action) {
      case Action::Help: Print(kHelp); return kExitOk;
      case Action::Version: Print("mok " MOK_VERSION "\n"); return kExitOk;
      case Action::List: {
        const std::string listing = ListText(call.search);
        if (listing.empty()) {
          Print("mok: 没有找到含有 “" + call.search + "” 的名字（mok list 列出全部）\n", STDERR_FILENO);
          return kExitUnchanged;
        }
        Print(listing);
        return kExitOk;
      }
      case Action::Names:
        if (call.undo_log) return UndoNames(*call.undo_log);
        return RunNames({call.inputs, call.recursive, call.apply, call.log_file});
      case Action::Suggest: plan.steps.push_back(SuggestStep(call.apply)); break;
      case Action::Run:
        for (const StepRequest& request : call.steps) {
          std::optional<Step> step = BuildStep(request, error);
          if (!step) return UsageError(error);
          plan.steps.push_back(std::move(*step));
        }
        break;
    }
    plan.input = call.input;
    plan.output = call.output;
    plan.output_file = call.output_file;
    plan.output_dir = call.output_dir;
    plan.jobs = call.jobs != 0 ? call.jobs : std::max(1u, std::thread::hardware_concurrency());
    plan.inputs = call.inputs;
    const mok::InvalidAction action = call.invalid == Invalid::Omit      ? mok::InvalidAction::Omit
                                 : call.invalid == Invalid::Replace ? mok::InvalidAction::Replace
                                                                    : mok::InvalidAction::Stop;
    plan.rules = {call.keep ? mok::InvalidAction::Keep : action, action, true};
    plan.force = call.force;
    return RunAll(plan);
  } catch (...) {
    Print("mok: 内存不足\n", STDERR_FILENO);
    return kExitFailed;
  }
}
