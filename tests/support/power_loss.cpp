#include "support/power_loss.h"

#include <algorithm>

#include "utility/ini/file_encoding.h"
#include "utility/ini/ini.h"

namespace ventrel::test {
namespace {

constexpr const char* kFolder = "/data";
constexpr const char* kBoard = "/data/VENTREL_DLL.INI";

// The driver's content around BOARD spans several sectors, so that a torn write shows.
std::string DriverBoard(bool unchanged) {
  std::string text = "; The driver's settings.\r\n";
  for (int channel = 0; channel < 24; ++channel) {
    text += "[CHANNEL" + std::to_string(channel) + "]\r\nGAIN=" + std::to_string(channel * 7) +
            "\r\nOFFSET=-" + std::to_string(channel) + "\r\nNAME=Sensor channel\r\n";
    if (channel == 6) {
      text += unchanged ? "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n" : "[BOARD]\r\nTYPE=200\r\n";
    }
  }
  return text;
}

std::string Utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

EditResult Edit(std::string& content, const std::vector<IniEntry>& entries) {
  return EditIniFile(content, entries, "BOARD");
}

const std::vector<IniEntry> kFirst = {{"TYPE_SUB", "301"}, {"TYPE", "300"}};
const std::vector<IniEntry> kSecond = {{"TYPE", "200"}};

FakeFileSystem Disk(const WritePath& path, const std::string& old_content) {
  FakeFileSystem fs(path.choices);
  fs.MakeFolder(kFolder);
  if (path.exists) {
    fs.Put(kBoard, old_content);
  }
  if (path.held_open) {
    fs.SetInUse(kBoard, 1 << 30, Sharing::kReadingAndWriting);
  }
  return fs;
}

WriteResult Write(FakeFileSystem& fs, const std::vector<IniEntry>& entries) {
  return store::UpdateWholeFile(
      kBoard, [&entries](std::string& c) { return Edit(c, entries); }, kLockWait, fs);
}

long long Differing(const std::string& a, const std::string& b) {
  long long n = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    n += a[i] != b[i];
  }
  return n + static_cast<long long>(std::max(a.size(), b.size()) - std::min(a.size(), b.size()));
}

// After a reboot: the board holds the old content or the new (or is torn, where allowed), and
// the next write goes through and leaves nothing of the interrupted one behind. A write with a
// journal may leave the board torn until the next write rolls it back: it is judged by what that
// write leaves.
void CheckState(const WritePath& path, FakeFileSystem& state, const std::string& old_content,
                const std::string& new_content, const std::string& what, PowerLossReport& report) {
  ++report.states;
  std::string content;
  const ReadResult read = store::ReadWholeFile(kBoard, content, state);
  std::string expected = read == ReadResult::kOk ? content : std::string();
  Edit(expected, kSecond);
  std::string after_old = path.exists ? old_content : std::string();
  std::string after_new = new_content;
  Edit(after_old, kSecond);
  Edit(after_new, kSecond);
  const bool written = Write(state, kSecond);
  const std::string board = path.journal ? state.Content(kBoard) : expected;
  if (board != after_old && board != after_new) {
    ++report.torn;
    if (!path.may_tear) {
      report.bytes_lost += std::min(Differing(board, after_old), Differing(board, after_new));
      report.problems.push_back(what + ": the board holds neither old nor new (" +
                                std::to_string(board.size()) + " bytes)");
    }
  }
  if (!written) {
    report.problems.push_back(what + ": the next write failed");
  } else if (!path.journal && state.Content(kBoard) != expected) {
    report.problems.push_back(what + ": the next write did not leave its content");
  }
  if (state.List(kFolder) != "VENTREL_DLL.INI") {
    report.problems.push_back(what + ": left after the next write: " + state.List(kFolder));
  }
}

}  // namespace

std::vector<WritePath> WritePaths() {
  const FakeFileSystem::Choices linux_choices;
  FakeFileSystem::Choices windows;
  windows.windows = true;
  FakeFileSystem::Choices no_exchange;
  no_exchange.exchange = false;
  FakeFileSystem::Choices refusing;
  refusing.refuse_new_files = true;
  return {
      {"Linux exchange", linux_choices},
      {"Windows in place, with its journal", windows, true, false, false, false, false, true},
      {"no exchange", no_exchange},
      {"in place", refusing, true, false, false, true},
      {"in place (Windows, held open)", windows, true, false, false, false, true, true},
      {"new file (Linux)", linux_choices, false},
      {"new file (Windows)", windows, false},
      {"UTF-16", linux_choices, true, true},
      {"UTF-16 (Windows)", windows, true, true, false, false, false, true},
      {"already as asked", linux_choices, true, false, true},
  };
}

PowerLossReport ExplorePowerLoss(const WritePath& path) {
  PowerLossReport report;
  const std::string text = DriverBoard(path.unchanged);
  const std::string old_content = path.utf16 ? Utf16(text) : text;
  std::string new_content = path.exists ? old_content : std::string();
  Edit(new_content, kFirst);

  FakeFileSystem whole = Disk(path, old_content);
  if (!Write(whole, kFirst) || whole.Content(kBoard) != new_content) {
    report.problems.push_back(path.name + ": the write itself failed");
    return report;
  }
  const int steps = whole.steps();
  for (int cut = 0; cut <= steps; ++cut) {
    ++report.cut_points;
    FakeFileSystem fs = Disk(path, old_content);
    fs.CutAfter(cut);
    Write(fs, kFirst);
    const std::string what = path.name + ", power lost after step " + std::to_string(cut);
    for (FakeFileSystem& state : fs.StatesAfterPowerLoss()) {
      CheckState(path, state, old_content, new_content, what, report);
    }
  }
  return report;
}

}  // namespace ventrel::test
