#include "ui/linux/window_module.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "config/ventrel_conf_dlg.h"
#include "support/recording_platform.h"

namespace ventrel {
namespace {

const char kNoDialogEnd[] =
    ". Give a model code (200, 300 or 301) to set the model without a window.";

// The calls the fake module has seen; empty while it is not loaded.
std::vector<std::string> FakeCalls() {
  void* module = ::dlopen(FAKE_FRONT_END, RTLD_NOW | RTLD_NOLOAD);
  if (module == nullptr) {
    return {};
  }
  void* symbol = ::dlsym(module, "FakeFrontEndCalls");
  std::vector<std::string>* (*calls)() = nullptr;
  std::memcpy(&calls, &symbol, sizeof(calls));
  ::dlclose(module);
  return calls != nullptr ? *calls() : std::vector<std::string>{};
}

// Sets an environment variable (null: unsets it) for the test's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    Set(value);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }

 private:
  void Set(const char* value) { value != nullptr ? ::setenv(name_, value, 1) : ::unsetenv(name_); }
  const char* name_;
  std::optional<std::string> old_;
};

class WindowModuleTest : public testing::Test {
 protected:
  WindowModuleTest() {
    fallback_.exe_path = "/opt/x/VentrelConf";
    fallback_.local_base_folder = "/opt/x";
  }
  std::vector<std::string> FallbackLines() const {
    std::vector<std::string> lines;
    for (const auto& message : fallback_.messages) {
      lines.push_back(message.caption + ": " + message.text);
    }
    return lines;
  }

  test::RecordingPlatform fallback_;
  ScopedEnv display_{"DISPLAY", ":0"};
  ScopedEnv wayland_{"WAYLAND_DISPLAY", nullptr};
  ScopedEnv refuse_{"FAKE_FRONT_END_REFUSE", nullptr};
  ScopedEnv fail_dialog_{"FAKE_FRONT_END_FAIL_DIALOG", nullptr};
};

TEST_F(WindowModuleTest, WithoutADisplayTheModuleIsNotLoaded) {
  const ScopedEnv no_display("DISPLAY", "");
  const std::size_t calls_before = FakeCalls().size();
  WindowModule windows(FAKE_FRONT_END, fallback_);
  windows.ShowMessage("VentrelConf", "File x not found !", MessageIcon::kError);
  EXPECT_FALSE(windows.OpenWindows());
  EXPECT_EQ(FakeCalls().size(), calls_before);
  EXPECT_EQ(FallbackLines(),
            (std::vector<std::string>{
                "VentrelConf: File x not found !",
                std::string("VentrelConf: the dialog cannot be shown: no display (DISPLAY and "
                            "WAYLAND_DISPLAY are unset)") +
                    kNoDialogEnd}));
}

TEST_F(WindowModuleTest, AWaylandDisplayIsADisplay) {
  const ScopedEnv no_x("DISPLAY", nullptr);
  const ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
  EXPECT_TRUE(DisplayConfigured());
  const ScopedEnv no_wayland("WAYLAND_DISPLAY", "");
  EXPECT_FALSE(DisplayConfigured());
}

TEST_F(WindowModuleTest, WhenNoWindowCanBeHadMessagesStayLines) {
  const std::string missing = "/nonexistent/VentrelConf-qt.so";
  const struct {
    const char* name;
    std::string module;
    const char* refuse;
    std::string failure;
  } cases[] = {
      {"no_exe_path", "", nullptr, "the executable's own path is unknown"},
      {"no_entry_point", FAKE_WITHOUT_ENTRY, nullptr,
       std::string("the window module ") + FAKE_WITHOUT_ENTRY + " has no entry point"},
      {"refused", FAKE_FRONT_END, "Qt cannot open the display :0", "Qt cannot open the display :0"},
      {"refused_without_reason", FAKE_FRONT_END, "", "the window module cannot show windows"},
  };
  for (const auto& c : cases) {
    const ScopedEnv refuse("FAKE_FRONT_END_REFUSE", c.refuse);
    fallback_.messages.clear();
    WindowModule windows(c.module, fallback_);
    windows.ShowMessage("VentrelConf", "first", MessageIcon::kError);
    EXPECT_FALSE(windows.OpenWindows()) << c.name;
    windows.ShowMessage("VentrelConf", "second", MessageIcon::kError);
    EXPECT_EQ(FallbackLines(),
              (std::vector<std::string>{
                  "VentrelConf: first",
                  "VentrelConf: the dialog cannot be shown: " + c.failure + kNoDialogEnd,
                  "VentrelConf: second"}))
        << c.name;
  }
}

TEST_F(WindowModuleTest, AModuleThatCannotBeLoadedIsNamedWithTheLoadersWords) {
  fallback_.messages.clear();
  WindowModule windows("/nonexistent/VentrelConf-qt.so", fallback_);
  EXPECT_FALSE(windows.OpenWindows());
  ASSERT_EQ(fallback_.messages.size(), 1u);
  const std::string& text = fallback_.messages.front().text;
  EXPECT_EQ(text.rfind("the dialog cannot be shown: the window module cannot be loaded: ", 0), 0u);
  EXPECT_NE(text.find("/nonexistent/VentrelConf-qt.so"), std::string::npos);
}

TEST_F(WindowModuleTest, TheModuleIsOpenedOnceAndShowsTheBoxes) {
  CVentrelConfDlg config;  // no layout here: only its messages, which go before the module
  fallback_.messages.clear();
  WindowModule windows(FAKE_FRONT_END, fallback_);
  const std::size_t calls_before = FakeCalls().size();
  windows.ShowMessage("VentrelConf", "File x not found !", MessageIcon::kError);
  EXPECT_TRUE(windows.OpenWindows());
  EXPECT_TRUE(windows.RunModal(config));
  windows.ShowMessage("VentrelConf", "later", MessageIcon::kWarning);
  const std::vector<std::string> calls = FakeCalls();
  ASSERT_GE(calls.size(), calls_before);
  EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<long>(calls_before), calls.end()),
            (std::vector<std::string>{"open " + std::to_string(kFrontEndVersion),
                                      "box VentrelConf: File x not found !", "dialog",
                                      "box VentrelConf: later"}));
  EXPECT_TRUE(fallback_.messages.empty());
}

TEST_F(WindowModuleTest, ADialogThatFailsWhileRunningIsSaidInABoxAndReportedToStartUp) {
  CVentrelConfDlg config;
  const struct {
    const char* fail;
    std::string reason;
  } cases[] = {
      {"the model list could not be filled", "the model list could not be filled"},
      {"", "the dialog failed while it ran"},
  };
  for (const auto& c : cases) {
    const ScopedEnv fail("FAKE_FRONT_END_FAIL_DIALOG", c.fail);
    fallback_.messages.clear();
    WindowModule windows(FAKE_FRONT_END, fallback_);
    ASSERT_TRUE(windows.OpenWindows());
    const std::size_t calls_before = FakeCalls().size();
    EXPECT_FALSE(windows.RunModal(config)) << c.reason;
    const std::vector<std::string> calls = FakeCalls();
    ASSERT_GE(calls.size(), calls_before);
    EXPECT_EQ(
        std::vector<std::string>(calls.begin() + static_cast<long>(calls_before), calls.end()),
        (std::vector<std::string>{
            "dialog", "box VentrelConf: the dialog cannot be shown: " + c.reason + kNoDialogEnd}));
    EXPECT_TRUE(fallback_.messages.empty()) << c.reason;
  }
}

TEST_F(WindowModuleTest, WithoutWindowsTheDialogIsNotReportedAsRun) {
  const ScopedEnv no_display("DISPLAY", "");
  CVentrelConfDlg config;
  fallback_.messages.clear();
  WindowModule windows(FAKE_FRONT_END, fallback_);
  EXPECT_FALSE(windows.RunModal(config));
  EXPECT_EQ(FallbackLines(),
            (std::vector<std::string>{
                std::string("VentrelConf: the dialog cannot be shown: no display (DISPLAY and "
                            "WAYLAND_DISPLAY are unset)") +
                kNoDialogEnd}));
}

TEST(WindowModulePathTest, LiesBesideTheExecutable) {
  EXPECT_EQ(WindowModulePath("/opt/Dremont/Zorvik - LAN PANORAMIC/VentrelConf"),
            "/opt/Dremont/Zorvik - LAN PANORAMIC/VentrelConf-qt.so");
  EXPECT_EQ(WindowModulePath("/Other"), "/VentrelConf-qt.so");
  EXPECT_EQ(WindowModulePath(""), "");
}

}  // namespace
}  // namespace ventrel
