// The resources of VentrelConf.exe, read back from the executable itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/texts.h"
#include "e2e/machine.h"

namespace ventrel::e2e {
namespace {

// Reads a resource byte by byte, as the dialog manager and the shell do.
class Reader {
 public:
  Reader(const BYTE* data, std::size_t size) : data_(data), size_(size) {}
  template <typename T>
  T Read() {
    T value{};
    if (at_ + sizeof(T) <= size_) {
      std::memcpy(&value, data_ + at_, sizeof(T));
    }
    at_ += sizeof(T);
    return value;
  }
  // A name or ordinal: 0 for none, 0xFFFF then the ordinal, or a UTF-16 string.
  std::string NameOrOrdinal() {
    const WORD first = Read<WORD>();
    if (first == 0) {
      return "";
    }
    if (first == 0xFFFF) {
      return "#" + std::to_string(Read<WORD>());
    }
    std::string text(1, static_cast<char>(first));
    for (WORD c = Read<WORD>(); c != 0 && at_ <= size_; c = Read<WORD>()) {
      text += static_cast<char>(c);
    }
    return text;
  }
  void AlignTo(std::size_t boundary) { at_ = (at_ + boundary - 1) / boundary * boundary; }

 private:
  const BYTE* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class ResourcesTest : public testing::Test {
 protected:
  ResourcesTest()
      : module_(::LoadLibraryExA(ExeUnderTest().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourcesTest() override {
    if (module_ != nullptr) {
      ::FreeLibrary(module_);
    }
  }
  std::vector<BYTE> Resource(LPCSTR type, int id) const {
    HRSRC info = ::FindResourceA(module_, MAKEINTRESOURCEA(id), type);
    if (info == nullptr) {
      return {};
    }
    const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(module_, info)));
    return std::vector<BYTE>(bytes, bytes + ::SizeofResource(module_, info));
  }

  HMODULE module_;
};

TEST_F(ResourcesTest, DialogTemplate102) {
  ASSERT_NE(module_, nullptr);
  const std::vector<BYTE> bytes = Resource(MAKEINTRESOURCEA(5) /* RT_DIALOG */, 102);
  ASSERT_FALSE(bytes.empty());
  Reader r(bytes.data(), bytes.size());
  EXPECT_EQ(r.Read<WORD>(), 1) << "DIALOGEX";
  EXPECT_EQ(r.Read<WORD>(), 0xFFFF);
  r.Read<DWORD>();  // help id
  EXPECT_EQ(r.Read<DWORD>(), static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(r.Read<DWORD>(), static_cast<DWORD>(DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                                                WS_SYSMENU | DS_SETFONT));
  EXPECT_EQ(r.Read<WORD>(), 2) << "two controls";
  EXPECT_EQ(r.Read<short>(), 0);
  EXPECT_EQ(r.Read<short>(), 0);
  EXPECT_EQ(r.Read<short>(), 179);
  EXPECT_EQ(r.Read<short>(), 68);
  EXPECT_EQ(r.NameOrOrdinal(), "") << "no menu";
  EXPECT_EQ(r.NameOrOrdinal(), "") << "the standard dialog class";
  EXPECT_EQ(r.NameOrOrdinal(), "VentrelConf");
  EXPECT_EQ(r.Read<WORD>(), 8) << "point size";
  r.Read<WORD>();  // weight
  r.Read<BYTE>();  // italic
  r.Read<BYTE>();  // character set
  EXPECT_EQ(r.NameOrOrdinal(), "MS Sans Serif");

  const struct {
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    const char* window_class;
    const char* text;
  } controls[] = {
      {WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, 7, 7, 165, 74, 1000,
       "#133" /* ComboBox */, ""},
      {WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 64, 47, 50, 14, IDOK,
       "#128" /* Button */, "OK"},
  };
  for (const auto& c : controls) {
    r.AlignTo(4);
    r.Read<DWORD>();  // help id
    EXPECT_EQ(r.Read<DWORD>(), 0u) << c.id << ": extended style";
    EXPECT_EQ(r.Read<DWORD>(), c.style) << c.id;
    EXPECT_EQ(r.Read<short>(), c.x) << c.id;
    EXPECT_EQ(r.Read<short>(), c.y) << c.id;
    EXPECT_EQ(r.Read<short>(), c.cx) << c.id;
    EXPECT_EQ(r.Read<short>(), c.cy) << c.id;
    EXPECT_EQ(r.Read<DWORD>(), c.id);
    EXPECT_EQ(r.NameOrOrdinal(), c.window_class) << c.id;
    EXPECT_EQ(r.NameOrOrdinal(), c.text) << c.id;
    EXPECT_EQ(r.Read<WORD>(), 0) << c.id << ": no creation data";
  }
}

TEST_F(ResourcesTest, Icon128Has16And32PixelImagesIn16Colours) {
  ASSERT_NE(module_, nullptr);
  const std::vector<BYTE> group = Resource(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, 128);
  ASSERT_GE(group.size(), 6u);
  Reader r(group.data(), group.size());
  EXPECT_EQ(r.Read<WORD>(), 0);
  EXPECT_EQ(r.Read<WORD>(), 1) << "icons";
  ASSERT_EQ(r.Read<WORD>(), 2) << "two images";
  std::vector<int> sizes;
  for (int i = 0; i < 2; ++i) {
    const BYTE width = r.Read<BYTE>();
    const BYTE height = r.Read<BYTE>();
    EXPECT_EQ(r.Read<BYTE>(), 16) << "colours";
    r.Read<BYTE>();
    r.Read<WORD>();  // planes
    EXPECT_EQ(r.Read<WORD>(), 4) << "bits per pixel";
    r.Read<DWORD>();
    const WORD id = r.Read<WORD>();
    EXPECT_EQ(width, height);
    sizes.push_back(width);
    const std::vector<BYTE> image = Resource(MAKEINTRESOURCEA(3) /* RT_ICON */, id);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biWidth, width);
    EXPECT_EQ(header.biBitCount, 4);
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 32}));
  EXPECT_NE(::LoadIconA(module_, MAKEINTRESOURCEA(128)), nullptr);
}

TEST_F(ResourcesTest, String61247IsTheFileNotFoundMessage) {
  ASSERT_NE(module_, nullptr);
  char text[256] = {};
  ASSERT_GT(::LoadStringA(module_, 61247, text, sizeof text), 0);
  EXPECT_EQ(std::string(text), "File %s not found !");
  EXPECT_EQ(std::string(text), texts::kFileNotFound) << "the resource and the code agree";
}

TEST_F(ResourcesTest, ManifestAsksForNoElevationAndDeclaresTheSystemsAndDpiAwareness) {
  ASSERT_NE(module_, nullptr);
  const std::vector<BYTE> bytes = Resource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1);
  ASSERT_FALSE(bytes.empty());
  const std::string manifest(bytes.begin(), bytes.end());
  const char* const wanted[] = {
      R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
      R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)",
      ">PerMonitorV2</dpiAwareness>",
      R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
  };
  for (const char* fragment : wanted) {
    EXPECT_NE(manifest.find(fragment), std::string::npos) << fragment;
  }
  EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos) << "files stay in the ANSI page";
  for (const int other : {2, 3}) {  // a second manifest would be the linker's, not ours
    EXPECT_TRUE(Resource(MAKEINTRESOURCEA(24), other).empty()) << other;
  }
}

TEST(ExecutableTest, IsBuiltForThisTestsArchitecture) {
  HANDLE file = ::CreateFileA(ExeUnderTest().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::vector<BYTE> head(4096);
  DWORD read = 0;
  ::ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &read, nullptr);
  ::CloseHandle(file);
  IMAGE_DOS_HEADER dos{};
  std::memcpy(&dos, head.data(), sizeof dos);
  ASSERT_LT(static_cast<DWORD>(dos.e_lfanew) + sizeof(IMAGE_FILE_HEADER) + 4, read);
  IMAGE_FILE_HEADER pe{};
  std::memcpy(&pe, head.data() + dos.e_lfanew + 4, sizeof pe);
#ifdef _WIN64
  EXPECT_EQ(pe.Machine, IMAGE_FILE_MACHINE_AMD64);
#else
  EXPECT_EQ(pe.Machine, IMAGE_FILE_MACHINE_I386) << "the program for 32-bit Windows";
#endif
  EXPECT_NE(pe.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE, 0);
}

TEST(VersionRecordTest, Is120WithTheNamesOfTheProgram) {
  const std::string exe = ExeUnderTest();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);

  const struct {
    const char* key;
    const char* value;
  } strings[] = {
      {"FileDescription", "VentrelConf Application"},
      {"FileVersion", "1.2.0.0"},
      {"ProductVersion", "1.2.0.0"},
      {"InternalName", "VentrelConf"},
      {"OriginalFilename", "VentrelConf.exe"},
  };
  for (const auto& s : strings) {
    char* value = nullptr;
    const std::string path = std::string("\\StringFileInfo\\040904E4\\") + s.key;
    ASSERT_TRUE(
        ::VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        << s.key;
    EXPECT_EQ(std::string(value), s.value) << s.key;
  }
}

}  // namespace
}  // namespace ventrel::e2e
