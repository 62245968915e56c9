// Reading a settings file (material, environment, render settings) on its
// own, through the document's own record.
#pragma once

#include <string>

namespace brevoxa {
class IArchiveTrace;
class IUserInterface;
}  // namespace brevoxa

namespace brevoxa::cli {

// Each loads the file into a fresh document of its kind with the trace
// attached; a failure is reported through ui with the document boundary's
// message, and the result is false.
bool ReadMaterialFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace);
bool ReadEnvironmentFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace);
bool ReadRenderSettingsFile(const std::string& path, IUserInterface& ui, IArchiveTrace& trace);

}  // namespace brevoxa::cli
