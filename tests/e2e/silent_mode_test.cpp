// The built program run in local-layout folders, as an installer or a user starts it: the bytes it
// leaves in the board file, its messages word for word, and its exit status.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/program_run.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace ventrel::test {

void PrintTo(const BrandNames& brand, std::ostream* os) {
  *os << brand.manufacturer;
}

namespace {

const BrandNames kDremont{"Zorvik - LAN PANORAMIC", "Dremont"};
const BrandNames kMarvello{"Unnamed Marvello product", "Marvello"};
const BrandNames kCeldrin{"Panoramic Quarvis 3D", "Celdrin Imaging"};
const std::array<BrandNames, 3> kBrands{kDremont, kMarvello, kCeldrin};

const std::string kBoard = "VENTREL_DLL.INI";
const std::string kCatalogue = "VentrelConf.ini";
const std::string kStandardFiles = kBoard + " " + kCatalogue;  // as ListFolder sorts them

const std::string kImproper = "Error: CUsbConfDlg::SetModel improper value!";
// Without a display the interactive mode says so at once, opens nothing and writes nothing.
const std::string kNoWindow =
    "the dialog cannot be shown: no display (DISPLAY and WAYLAND_DISPLAY are unset). Give a model "
    "code (200, 300 or 301) to set the model without a window.";
constexpr int kNoWindowStatus = 2;

std::string Message(const std::string& text, const std::string& caption = "VentrelConf") {
  return caption + ": " + text + "\n";
}

std::string NotFound(const std::string& path) {
  return "File " + path + " not found !";
}

std::string NotWritten(const std::string& path, const std::string& reason = "") {
  return "Error: the file " + path + " could not be written!" +
         (reason.empty() ? "" : " " + reason);
}

// What the locator leaves when it finds no data folder: the board path has no folder, and the
// write of a model is refused rather than attempted at the root.
std::string NoDataFolder(const std::string& ini_name, bool model_given,
                         const std::string& caption = "VentrelConf") {
  std::string err = Message("File " + ini_name + " not found!", caption) +
                    Message(NotFound("/" + kBoard), caption);
  if (model_given) {
    err += Message(NotWritten("/" + kBoard), caption);
  }
  return err;
}

// `text` with its one occurrence of `from` replaced; fails the test when there is not exactly one,
// so that an expectation can never silently equal the original.
std::string Replaced(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << "no " << from;
  if (at == std::string::npos) {
    return text;
  }
  EXPECT_EQ(text.find(from, at + 1), std::string::npos) << "more than one " << from;
  std::string out = text;
  out.replace(at, from.size(), to);
  return out;
}

std::string BrandId(const BrandNames& brand) {
  std::string id;
  for (const char c : brand.manufacturer) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      id += c;
    }
  }
  return id;
}

// The names a folder must hold, in ListFolder's order.
std::string Listing(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& name : names) {
    out += (out.empty() ? "" : " ") + name;
  }
  return out;
}

std::string BrandName(const ::testing::TestParamInfo<BrandNames>& info) {
  return BrandId(info.param);
}

template <typename Case>
std::string BrandAndCaseName(const ::testing::TestParamInfo<std::tuple<BrandNames, Case>>& info) {
  return BrandId(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
}

fs::perms PermissionsOf(const std::string& path) {
  return fs::status(path).permissions();
}

// The driver's board file after each model: BOARD starts with "Type = 300" and no TYPE_SUB.
const std::string kSerialLine = "SERIAL=\"PX-0042 ; rev B\"\r\n";
std::string DriverBoardAfter(const std::string& model) {
  const std::string original = DriverBoardText();
  if (model == "200") {
    return Replaced(original, "Type = 300\t\r\n", "Type = 200\t\r\n");
  }
  return Replaced(original, kSerialLine, kSerialLine + "TYPE_SUB=" + model + "\r\n");
}

// The command line, as the program receives it already split.

struct ArgumentCase {
  const char* name;
  std::vector<std::string> arguments;
  // The model the board file must then record ("" when nothing may be written).
  std::string written_model;
  bool improper;  // the SetModel message, and status 1
};

const ArgumentCase kArgumentCases[] = {
    {"NoArgument", {}, "", false},
    {"Model301", {"301"}, "301", false},
    {"Model300", {"300"}, "300", false},
    {"Model200", {"200"}, "200", false},
    {"SecondModelIgnored", {"200", "300"}, "200", false},
    {"LaterTextIgnored", {"301", "abc"}, "301", false},
    {"OptionHasNoEffect", {"/Register", "301"}, "301", false},
    {"OptionTakesNoValue", {"-200", "301"}, "301", false},
    {"DashNumberIsOption", {"-200"}, "", false},
    {"LoneDashIsOption", {"-"}, "", false},
    {"BlankThenMinusFive", {" -5"}, "", true},
    {"BlankThenMinusOne", {" -1"}, "", false},
    {"TabBeforeModel", {"\t301"}, "301", false},
    {"PlusSign", {"+300"}, "300", false},
    {"LonePlus", {"+"}, "", false},
    {"EmptyThen300", {"", "300"}, "300", false},
    {"TrailingText", {"300abc"}, "300", false},
    {"NoDigits", {"abc"}, "", false},
    {"NoDigitsFirst", {"abc", "301"}, "", false},
    {"UnknownCode", {"250"}, "", true},
    {"HexReadsAsZero", {"0x12c"}, "", true},
    {"WrapsTo300", {"4294967596"}, "", true},
    {"WrapsTo200", {"4294967496"}, "", true},
    {"LargestInt", {"2147483647"}, "", true},
    {"BlankThenSmallestInt", {" -2147483648"}, "", true},
    {"BlankThenBeyondInt", {" -2147483649"}, "", true},
    {"BeyondInt", {"2147483648"}, "", true},
};

void PrintTo(const ArgumentCase& c, std::ostream* os) {
  *os << c.name;
}

class ArgumentTest : public ::testing::TestWithParam<std::tuple<BrandNames, ArgumentCase>> {};

TEST_P(ArgumentTest, WritesTheModelOrNothing) {
  const auto& [brand, c] = GetParam();
  const LocalLayout layout;
  layout.PutStandardFiles(brand);

  const ProgramResult result = layout.Run(c.arguments);

  const bool interactive = c.written_model.empty() && !c.improper;
  EXPECT_EQ(result.err, c.improper ? Message(kImproper) : interactive ? Message(kNoWindow) : "");
  EXPECT_EQ(result.status, c.improper ? 1 : interactive ? kNoWindowStatus : 0);
  EXPECT_EQ(result.out, "");
  const std::string expected =
      c.written_model.empty() ? DriverBoardText() : DriverBoardAfter(c.written_model);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), expected);
  EXPECT_EQ(ReadFile(layout.CataloguePath(brand)), CatalogueText(brand.manufacturer));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
  EXPECT_EQ(ListFolder(layout.Base()), Listing({"VentrelConf", brand.product_folder}));
}

INSTANTIATE_TEST_SUITE_P(Brands, ArgumentTest,
                         ::testing::Combine(::testing::ValuesIn(kBrands),
                                            ::testing::ValuesIn(kArgumentCases)),
                         BrandAndCaseName<ArgumentCase>);

// Board files of every shape: only TYPE and TYPE_SUB change.

struct BoardCase {
  const char* name;
  std::string model;
  std::string before;
  std::string after;
};

const BoardCase kBoardCases[] = {
    {"CrlfWith3dToTwoD", "200",
     "[NETWORK]\r\nUNIT_PORT=5000\r\n\r\n[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\nGAIN=4\r\n",
     // the 3D version stays behind for the driver to ignore
     "[NETWORK]\r\nUNIT_PORT=5000\r\n\r\n[BOARD]\r\nTYPE_SUB=301\r\nTYPE=200\r\nGAIN=4\r\n"},
    {"TwoDTo3dVersion2", "301", "[BOARD]\nTYPE=200\nTYPE_SUB=300\n[OTHER]\nTYPE=200\n",
     "[BOARD]\nTYPE=300\nTYPE_SUB=301\n[OTHER]\nTYPE=200\n"},
    {"AlreadyStoredLeftAlone", "200", "[BOARD]\nTYPE=200\nTYPE_SUB=301\n",
     "[BOARD]\nTYPE=200\nTYPE_SUB=301\n"},
    {"ByteOrderMarkLastLineWithoutEnd", "301",
     "\xEF\xBB\xBF[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200",
     "\xEF\xBB\xBF[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n"},
    {"NoBoardSectionLf", "300", "; driver\n[NETWORK]\nUNIT_PORT=5000\n",
     "; driver\n[NETWORK]\nUNIT_PORT=5000\n[BOARD]\nTYPE_SUB=300\nTYPE=300\n"},
    {"NoBoardSectionNoFinalLineEnd", "200", "[NETWORK]\r\nUNIT_PORT=5000",
     "[NETWORK]\r\nUNIT_PORT=5000\r\n[BOARD]\r\nTYPE=200\r\n"},
    {"OnlyFirstBoardSectionCounts", "301",
     "[BOARD]\r\nTYPE=200\r\n\r\n[DEVICE]\r\nID=4\r\n[board]\r\nTYPE_SUB=999\r\nTYPE=1\r\n",
     "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n\r\n[DEVICE]\r\nID=4\r\n[board]\r\nTYPE_SUB=999\r\n"
     "TYPE=1\r\n"},
    {"KeySpellingSpacingAndSemicolonKept", "301",
     "[ board ]\r\n  type_sub = 300 ; old\r\n\tType\t=\t200\t\r\n; TYPE=5\r\n",
     "[ board ]\r\n  type_sub = 301\r\n\tType\t=\t300\t\r\n; TYPE=5\r\n"},
    {"FirstKeyOfANameWins", "300", "[BOARD]\nTYPE=200\nTYPE=250\nTYPE_SUB=301\nTYPE_SUB=200\n",
     "[BOARD]\nTYPE=300\nTYPE=250\nTYPE_SUB=300\nTYPE_SUB=200\n"},
    {"EmptyValuesFilled", "301", "[BOARD]\r\nTYPE=\r\nTYPE_SUB=   \r\n",
     "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301   \r\n"},
    {"EmptyFile", "300", "", "[BOARD]\r\nTYPE_SUB=300\r\nTYPE=300\r\n"},
};

void PrintTo(const BoardCase& c, std::ostream* os) {
  *os << c.name;
}

class BoardTest : public ::testing::TestWithParam<std::tuple<BrandNames, BoardCase>> {};

TEST_P(BoardTest, ChangesOnlyTheModel) {
  const auto& [brand, c] = GetParam();
  const LocalLayout layout;
  layout.Put(brand, kCatalogue, CatalogueText(brand.manufacturer));
  layout.Put(brand, kBoard, c.before);
  // The driver's own permissions survive the replacement of the file.
  fs::permissions(layout.BoardPath(brand), fs::perms(0640));

  const ProgramResult result = layout.Run({c.model});

  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), c.after);
  EXPECT_EQ(PermissionsOf(layout.BoardPath(brand)), fs::perms(0640));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

INSTANTIATE_TEST_SUITE_P(Brands, BoardTest,
                         ::testing::Combine(::testing::ValuesIn(kBrands),
                                            ::testing::ValuesIn(kBoardCases)),
                         BrandAndCaseName<BoardCase>);

// Missing and unwritable files, per brand.

class BrandTest : public ::testing::TestWithParam<BrandNames> {};

INSTANTIATE_TEST_SUITE_P(Brands, BrandTest, ::testing::ValuesIn(kBrands), BrandName);

TEST_P(BrandTest, ConsecutiveRunsEachWrite) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  layout.PutStandardFiles(brand);

  for (const std::string model : {"301", "200", "300", "301"}) {
    const ProgramResult result = layout.Run({model});
    EXPECT_EQ(result.err, "") << model;
    EXPECT_EQ(result.status, 0) << model;
  }
  // 200 keeps the 3D version that 300 then overwrites in place.
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardAfter("301"));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

TEST_P(BrandTest, MissingBoardFileIsReportedThenCreated) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  layout.Put(brand, kCatalogue, CatalogueText(brand.manufacturer));

  const ProgramResult result = layout.Run({"301"});

  EXPECT_EQ(result.err, Message(NotFound(layout.BoardPath(brand))));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), "[BOARD]\r\nTYPE_SUB=301\r\nTYPE=300\r\n");
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

TEST_P(BrandTest, MissingBoardFileWithoutModelCreatesNothing) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  layout.Put(brand, kCatalogue, CatalogueText(brand.manufacturer));

  for (const auto& arguments : {std::vector<std::string>{}, std::vector<std::string>{"250"}}) {
    const ProgramResult result = layout.Run(arguments);
    const bool improper = !arguments.empty();
    EXPECT_EQ(result.err, improper ? Message(NotFound(layout.BoardPath(brand))) + Message(kImproper)
                                   : Message(kNoWindow));
    EXPECT_EQ(result.status, improper ? 1 : kNoWindowStatus);
  }
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kCatalogue);
}

// The catalogue is what the locator looks for, so without it there is no data folder at all.
TEST_P(BrandTest, MissingCatalogueLeavesBoardFileAlone) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  layout.Put(brand, kBoard, DriverBoardText());

  const ProgramResult result = layout.Run({"301"});

  EXPECT_EQ(result.err, NoDataFolder(kCatalogue, true));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardText());
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kBoard);
}

TEST_P(BrandTest, MissingProductFolderWritesNothingAnywhere) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  const bool root_file_before = Exists("/" + kBoard);

  for (const auto& arguments : {std::vector<std::string>{}, std::vector<std::string>{"301"}}) {
    const ProgramResult result = layout.Run(arguments);
    const bool model_given = !arguments.empty();
    EXPECT_EQ(result.err, model_given ? NoDataFolder(kCatalogue, true) : Message(kNoWindow));
    EXPECT_EQ(result.status, model_given ? 1 : kNoWindowStatus);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(ListFolder(layout.Base()), "VentrelConf");
  EXPECT_FALSE(Exists(layout.ProductFolder(brand)));
  EXPECT_EQ(Exists("/" + kBoard), root_file_before);
}

// The driver's read-only file stays so, even for a user (root) whom the system would let write it.
TEST_P(BrandTest, ReadOnlyBoardFileIsRefused) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  layout.PutStandardFiles(brand);
  const std::string board = layout.BoardPath(brand);
  ASSERT_EQ(::chmod(board.c_str(), 0444), 0);

  for (const std::string model : {"301", "200"}) {
    const ProgramResult result = layout.Run({model});
    EXPECT_EQ(result.err,
              Message(NotWritten(board, "You do not have permission to change it or its folder.")))
        << model;
    EXPECT_EQ(result.status, 1) << model;
  }
  EXPECT_EQ(ReadFile(board), DriverBoardText());
  EXPECT_EQ(PermissionsOf(board), fs::perms(0444));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

// A driver that keeps its board file elsewhere links it into the data folder; the link stays.
TEST_P(BrandTest, LinkedBoardFileHasItsTargetReplaced) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout;
  layout.Put(brand, kCatalogue, CatalogueText(brand.manufacturer));
  const std::string target = layout.Base() + "/driver/board.ini";
  WriteFile(target, DriverBoardText());
  fs::create_symlink("../driver/board.ini", layout.BoardPath(brand));

  const ProgramResult result = layout.Run({"200"});

  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_TRUE(fs::is_symlink(layout.BoardPath(brand)));
  EXPECT_EQ(ReadFile(target), DriverBoardAfter("200"));
  EXPECT_EQ(ListFolder(layout.Base() + "/driver"), "board.ini");
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

// Which brand a local layout belongs to.

TEST_P(BrandTest, MarkerValueInAnyLetterCase) {
  const BrandNames& brand = GetParam();
  std::string mixed = brand.manufacturer;
  for (std::size_t i = 0; i < mixed.size(); i += 2) {
    mixed[i] = static_cast<char>(std::islower(static_cast<unsigned char>(mixed[i])) != 0
                                     ? std::toupper(static_cast<unsigned char>(mixed[i]))
                                     : std::tolower(static_cast<unsigned char>(mixed[i])));
  }
  ASSERT_NE(mixed, brand.manufacturer);
  const LocalLayout layout;
  layout.Put(brand, kCatalogue, CatalogueText(mixed));
  layout.Put(brand, kBoard, DriverBoardText());

  const ProgramResult result = layout.Run({"301"});

  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardAfter("301"));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

// An unknown manufacturer falls back to the first row, whose product folder is not there.
TEST(LocalBrandTest, UnknownManufacturerFallsBackToFirstBrand) {
  for (const BrandNames& brand : {kMarvello, kCeldrin}) {
    const LocalLayout layout;
    layout.Put(brand, kCatalogue, CatalogueText("Marvello Celdrin"));
    layout.Put(brand, kBoard, DriverBoardText());

    const ProgramResult result = layout.Run({"300"});

    EXPECT_EQ(result.err, NoDataFolder(kCatalogue, true)) << brand.manufacturer;
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardText());
    EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
  }
}

// Each row reads only its own product folder's marker: a Dremont value in Marvello's folder does
// not make it Dremont's data folder.
TEST(LocalBrandTest, MarkerOfAnotherBrandInTheWrongFolder) {
  const LocalLayout layout;
  layout.Put(kMarvello, kCatalogue, CatalogueText("Dremont"));
  layout.Put(kMarvello, kBoard, DriverBoardText());

  const ProgramResult result = layout.Run({"301"});

  EXPECT_EQ(result.err, NoDataFolder(kCatalogue, true));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadFile(layout.BoardPath(kMarvello)), DriverBoardText());
  EXPECT_EQ(ListFolder(layout.ProductFolder(kMarvello)), kStandardFiles);
}

// With several brands' folders beside the executable, the table's order decides.
TEST(LocalBrandTest, FirstMatchingRowWins) {
  const LocalLayout layout;
  layout.PutStandardFiles(kMarvello);
  layout.PutStandardFiles(kCeldrin);

  const ProgramResult result = layout.Run({"200"});

  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(kMarvello)), DriverBoardAfter("200"));
  EXPECT_EQ(ReadFile(layout.BoardPath(kCeldrin)), DriverBoardText());
  EXPECT_EQ(ListFolder(layout.ProductFolder(kMarvello)), kStandardFiles);
  EXPECT_EQ(ListFolder(layout.ProductFolder(kCeldrin)), kStandardFiles);
}

// An executable under another name.

// The marker and the data folder's anchor follow the executable's name; the board file and the
// catalogue keep theirs, and every message carries the new name.
TEST_P(BrandTest, RenamedExecutableUsesItsOwnMarker) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout("Other");
  layout.PutStandardFiles(brand);
  layout.Put(brand, "Other.ini", "[Model]\nManufacturer=" + brand.manufacturer + "\n");

  const ProgramResult result = layout.Run({"301"});

  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardAfter("301"));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), "Other.ini " + kStandardFiles);
}

TEST_P(BrandTest, RenamedExecutableWithoutItsMarker) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout("Other");
  layout.PutStandardFiles(brand);

  const ProgramResult result = layout.Run({"301"});

  EXPECT_EQ(result.err, NoDataFolder("Other.ini", true, "Other"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardText());
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), kStandardFiles);
}

TEST_P(BrandTest, RenamedExecutableWithoutCatalogue) {
  const BrandNames& brand = GetParam();
  const LocalLayout layout("Other");
  layout.Put(brand, kBoard, DriverBoardText());
  layout.Put(brand, "Other.ini", "[Model]\r\nManufacturer=" + brand.manufacturer + "\r\n");

  const ProgramResult result = layout.Run({"300"});

  EXPECT_EQ(result.err, Message(NotFound(layout.CataloguePath(brand)), "Other"));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(brand)), DriverBoardAfter("300"));
  EXPECT_EQ(ListFolder(layout.ProductFolder(brand)), "Other.ini " + kBoard);
}

// The name's extension gives way to ".ini", and the caption drops it.
TEST(RenamedExecutableTest, ExtensionIsReplaced) {
  const LocalLayout layout("VentrelConf.bin");
  layout.PutStandardFiles(kCeldrin);

  const ProgramResult improper = layout.Run({"250"});
  EXPECT_EQ(improper.err, Message(kImproper, "VentrelConf"));
  EXPECT_EQ(improper.status, 1);

  const ProgramResult written = layout.Run({"200"});
  EXPECT_EQ(written.err, "");
  EXPECT_EQ(written.status, 0);
  EXPECT_EQ(ReadFile(layout.BoardPath(kCeldrin)), DriverBoardAfter("200"));
  EXPECT_EQ(ListFolder(layout.ProductFolder(kCeldrin)), kStandardFiles);
}

}  // namespace
}  // namespace ventrel::test
