#include "reliability/suite.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace ventrel::reliability {

void Group::Fail(const std::string& what, const std::string& why) {
  ++tally.failures;
  failed_.insert(what);
  std::printf("FAIL %s / %s: %s\n", name_.c_str(), what.c_str(), why.c_str());
  std::fflush(stdout);
}

bool Group::CheckRun(const std::string& what, const RunOutcome& outcome) {
  if (!outcome.Crashed()) {
    return true;
  }
  ++tally.crashes;
  failed_.insert(what);
  std::string how = !outcome.started      ? "could not start"
                    : outcome.hung        ? "hung"
                    : outcome.signal != 0 ? "signal " + std::to_string(outcome.signal)
                                          : "exit status " + std::to_string(outcome.exit_status);
  std::printf("CRASH %s / %s: %s\n%s", name_.c_str(), what.c_str(), how.c_str(),
              outcome.err.c_str());
  std::fflush(stdout);
  return false;
}

bool Group::CheckFile(const std::string& what, const std::string& path,
                      const std::vector<std::string>& allowed) {
  ++tally.files;
  bool ok = false;
  const std::string actual = ReadFile(path, &ok);
  long long lost = -1;
  for (const std::string& candidate : allowed) {
    const long long candidate_lost =
        ok ? BytesLost(actual, candidate) : static_cast<long long>(candidate.size());
    lost = lost < 0 ? candidate_lost : std::min(lost, candidate_lost);
  }
  if (lost <= 0) {
    return true;
  }
  tally.bytes_lost += lost;
  if (std::getenv("VENTREL_RELIABILITY_KEEP") != nullptr) {
    // Kept beside the file for a look, with the suite's --work folder given.
    WriteFile(path + ".seen", actual);
    for (std::size_t i = 0; i < allowed.size(); ++i) {
      WriteFile(path + ".allowed" + std::to_string(i), allowed[i]);
    }
  }
  Fail(what,
       path + (ok ? " holds none of the allowed contents (" + std::to_string(lost) + " bytes lost)"
                  : " cannot be read"));
  return false;
}

bool WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return out.good();
}

std::string ReadFile(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  if (ok != nullptr) {
    *ok = static_cast<bool>(in);
  }
  if (!in) {
    return {};
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MakeFolders(const std::string& path) {
  std::error_code ignored;
  fs::create_directories(path, ignored);
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(path, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink()) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path, ignored);
}

std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> entries;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(root, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    const std::string path = it->path().string();
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
      continue;
    }
    std::string value = std::to_string(info.st_mode) + " " + std::to_string(info.st_uid) + ":" +
                        std::to_string(info.st_gid);
    if (S_ISREG(info.st_mode)) {
      value += " " + std::to_string(std::hash<std::string>{}(ReadFile(path)));
    } else if (S_ISLNK(info.st_mode)) {
      value += " -> " + fs::read_symlink(path, ignored).string();
    }
    entries[path.substr(root.size())] = value;
  }
  return entries;
}

long long BytesLost(const std::string& actual, const std::string& expected) {
  if (actual == expected) {
    return 0;
  }
  const std::size_t shorter = std::min(actual.size(), expected.size());
  std::size_t prefix = 0;
  while (prefix < shorter && actual[prefix] == expected[prefix]) {
    ++prefix;
  }
  std::size_t suffix = 0;
  while (prefix + suffix < shorter &&
         actual[actual.size() - 1 - suffix] == expected[expected.size() - 1 - suffix]) {
    ++suffix;
  }
  return std::max<long long>(1, static_cast<long long>(expected.size() - prefix - suffix));
}

namespace {

constexpr const char* kTypeLine = "\r\nType = 300\t\r\n";
constexpr const char* kSubTypeLine = "\r\nTYPE_SUB = 300\r\n";
constexpr const char* kCounterLine = "\nCOUNTER=0\r\n";

void AppendChannels(std::string& text, std::size_t until, int& channel, bool with_nul_bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  while (text.size() < until) {
    char head[96];
    std::snprintf(head, sizeof head,
                  "[CHANNEL_%06d]\r\nGAIN=1.%03d\r\nOFFSET = -%d\r\nLUT=", channel, channel % 1000,
                  channel % 97);
    text += head;
    for (int i = 0; i < 48; ++i) {
      text += kHex[(channel * 7 + i * 13) % 16];
    }
    if (with_nul_bytes && channel % 5 == 0) {
      text += std::string("\0RAW\0", 5);
    }
    text += "\r\n\r\n";
    ++channel;
  }
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at != std::string::npos) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

std::string DriverBoard(std::size_t size, bool with_nul_bytes) {
  std::string text =
      "; Settings of the panoramic unit's driver library.\r\n"
      "; VentrelConf changes only BOARD.\r\n"
      "\r\n"
      "[NETWORK]\r\n"
      "UNIT_ADDRESS = 192.168.10.20\r\n"
      "UNIT_PORT\t= 5000\n"
      "COUNTER=0\r\n"
      "\r\n";
  text.reserve(size + 512);
  int channel = 0;
  AppendChannels(text, size / 2, channel, with_nul_bytes);
  text +=
      "[ Board ]  ; the model\r\n"
      "Type = 300\t\r\n"
      "TYPE_SUB = 300\r\n"
      "SERIAL=\"PX-0042 ; rev B\"\r\n"
      "\r\n"
      "[ACQUISITION]\n"
      "EXPOSURE_KV=70\n"
      "CALIBRATION_FILE=calib\\unit0042.dat\r\n"
      "\r\n";
  AppendChannels(text, size, channel, with_nul_bytes);
  return text;
}

std::string BoardState(const std::string& original, int type, int sub, int counter) {
  std::string text = Replace(original, kTypeLine, "\r\nType = " + std::to_string(type) + "\t\r\n");
  text = Replace(text, kSubTypeLine, "\r\nTYPE_SUB = " + std::to_string(sub) + "\r\n");
  return Replace(text, kCounterLine, "\nCOUNTER=" + std::to_string(counter) + "\r\n");
}

std::string BoardAfter(const std::string& original, int model) {
  return model == 200 ? BoardState(original, 200, 300) : BoardState(original, 300, model);
}

std::string Catalogue(const std::string& manufacturer) {
  return "[Model]\r\nManufacturer=" + manufacturer +
         "\r\n\r\n[VentrelV1]\r\nDISPLAY=Ventrel 2D\r\n\r\n[Ventrel3DV1]\r\n"
         "DISPLAY=Ventrel 3D (version 1)\r\n\r\n[Ventrel3DV2]\r\nDISPLAY=Ventrel 3D (version "
         "2)\r\n";
}

Layout::Layout(const Options& options, const std::string& name, const std::string& board_text,
               const std::string& product)
    : base(options.work + "/" + name),
      exe(base + "/VentrelConf"),
      data(base + "/" + product),
      board(data + "/VENTREL_DLL.INI"),
      catalogue(data + "/VentrelConf.ini") {
  RemoveTree(base);
  MakeFolders(data);
  WriteFile(exe, ReadFile(options.exe));
  ::chmod(exe.c_str(), 0755);
  ::chmod(base.c_str(), 0755);
  WriteFile(catalogue, Catalogue("Dremont"));
  if (board_text != "<none>") {
    WriteFile(board, board_text);
  }
}

RunRequest Layout::Request(const std::vector<std::string>& arguments) const {
  RunRequest request;
  request.argv = {exe};
  request.argv.insert(request.argv.end(), arguments.begin(), arguments.end());
  return request;
}

std::string WriteFailedMessage(const std::string& board, std::string_view reason) {
  return "VentrelConf: Error: the file " + board + " could not be written!" +
         (reason.empty() ? "" : " " + std::string(reason)) + "\n";
}

std::string KeptCopyMessage(const std::string& board) {
  return "VentrelConf: The file " + board + " was written. " + std::string(kKeptCopy) + "\n";
}

std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".vctmp-") != std::string::npos) {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace ventrel::reliability
