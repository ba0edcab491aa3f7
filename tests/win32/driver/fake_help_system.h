// Stands in for the Windows help system: a window of the class WinHelpA looks for, which records
// each request the program makes and answers with success or failure as the test chooses.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ventrel::uitest {

struct HelpRequest {
  HWND caller = nullptr;
  unsigned command = 0;
  long data = 0;
  std::string file;
};

class FakeHelpSystem {
 public:
  // `succeeds`: what the help system answers; false makes WinHelpA report failure.
  explicit FakeHelpSystem(bool succeeds);
  FakeHelpSystem(const FakeHelpSystem&) = delete;
  FakeHelpSystem& operator=(const FakeHelpSystem&) = delete;
  ~FakeHelpSystem();

  bool ready() const { return hwnd_ != nullptr; }
  // The requests so far, waiting up to `timeout_ms` for at least `count` of them.
  std::vector<HelpRequest> Requests(std::size_t count = 0, DWORD timeout_ms = 0) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  void Run(HANDLE ready_event);

  bool succeeds_;
  HWND hwnd_ = nullptr;
  DWORD thread_id_ = 0;
  mutable std::mutex mutex_;
  std::vector<HelpRequest> requests_;
  std::thread thread_;
};

}  // namespace ventrel::uitest
