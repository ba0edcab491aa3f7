// The per-user step of an installation: what an installer kept on the machine (the brand's
// catalogue and the chosen model) brought into the data folder of the user it runs as, through the
// program's own locator and writer. Windows' Active Setup runs it at each user's logon.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "config/model_code.h"

namespace ventrel {

// False for the accounts that have a profile but no person behind it: LocalSystem (S-1-5-18), in
// which deployment tools install, LocalService and NetworkService. What the step wrote there would
// land in a board file that no user's driver reads; each user gets the model at logon instead.
bool WritesIntoProfileOf(std::string_view account_sid);

// What the step needs of the system beyond the core's platform.
struct ProvisioningSystem {
  virtual ~ProvisioningSystem() = default;
  // The account the step runs as, as a SID string ("S-1-5-21-..."); empty when unknown.
  virtual std::string AccountSid() const = 0;
  // Creates the folder and each missing one above it; true when the folder exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
};

struct ProvisioningOutcome {
  int status = 0;                // 0 done (or left to each user's logon), 1 not
  std::vector<std::string> log;  // what was done and what went wrong, one line each
};

// The per-user step, for the step's executable at `step_path` beside the installed program: lays
// the machine's catalogue out where the user has none (a catalogue of the user's own stays), and
// writes the machine's model into the user's board file, creating it when the user has none.
// Shows nothing: every message of the program goes into the log.
ProvisioningOutcome ProvisionUser(const std::string& step_path, ProvisioningSystem& system);

// The machine side, run by the installer as an administrator: stores `code` in the machine's copy
// beside the step at `step_path`. Writes nothing and fails for a code that is no model.
ProvisioningOutcome StoreMachineModel(const std::string& step_path, ModelCode code);

// The model an installer gives (MSI: MODEL; NSIS: /MODEL=), taken only when it is exactly one of
// the codes; kNoModel for anything else ("301x", " 301", "0301").
ModelCode RegisteredModel(std::string_view text);

// The machine's model file beside the step at `step_path`, which the uninstaller removes.
std::string MachineModelFile(const std::string& step_path);

// The brand folder of the program installed beside the step, or empty when it is not installed in
// a brand's programs folder.
std::string InstalledBrandFolder(const std::string& step_path);

// Active Setup's Version for an installation at `now` ("year,monthday,hourminute,second"), always
// later than `previous`, the Version of an earlier installation (empty for none), so that the step
// runs again for every user even when the clock went back.
std::string NextActiveSetupVersion(std::string_view previous, const std::tm& now);

}  // namespace ventrel
