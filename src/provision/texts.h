// The per-user step's file names and the lines it logs, exactly as written.
#pragma once

#include <string_view>

namespace ventrel::texts {

// The copy kept on the machine, in a folder beside the program: inside the programs folder, where
// only administrators may change anything, so one user cannot set the model for every other.
inline constexpr std::string_view kMachineFolder = "Provisioning";
inline constexpr std::string_view kMachineModelFile = "Provisioning.ini";
inline constexpr std::string_view kMachineSection = "Provisioning";
inline constexpr std::string_view kMachineModelKey = "MODEL";

// The program the step stands in for, beside the step's own executable (with its extension).
inline constexpr std::string_view kProgramStem = "VentrelConf";

inline constexpr std::string_view kReachesEachUserAtLogon =
    "installed; the model reaches each user at logon";
inline constexpr std::string_view kNotInstalled =
    "%s is not installed in a brand's programs folder: nothing was done";
inline constexpr std::string_view kNoUserFolder =
    "the user's application-data folder is unknown: nothing was done";
inline constexpr std::string_view kFolderNotCreated = "the folder %s could not be created";
inline constexpr std::string_view kCatalogueLaidOut = "laid out the catalogue %s";
inline constexpr std::string_view kCatalogueKept = "kept the user's own catalogue %s";
inline constexpr std::string_view kCatalogueNotLaidOut = "the catalogue %s could not be laid out";
inline constexpr std::string_view kMachineCopyUnreadable = "the machine's copy %s cannot be read";
inline constexpr std::string_view kImproperMachineModel =
    "the machine's copy %s holds no model 200, 300 or 301: the board file was left alone";
inline constexpr std::string_view kNoMachineModel = "no model was chosen at installation";
inline constexpr std::string_view kBoardCreated = "no board file yet: %s is created";
inline constexpr std::string_view kModelWritten = "wrote the model into %s";
inline constexpr std::string_view kModelNotWritten = "the model could not be written into %s";
inline constexpr std::string_view kMachineModelStored = "stored the model for every user in %s";
inline constexpr std::string_view kMachineModelNotStored = "the model could not be stored in %s";

}  // namespace ventrel::texts
