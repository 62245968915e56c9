// The info command: argument handling, the choice of reader by file kind,
// and the console that shows the loader's messages beside the tree.
#include "cli/info_command.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <optional>

#include "cli/form_reader.h"
#include "cli/settings_reader.h"
#include "cli/trace_printer.h"
#include "persist/object_store.h"
#include "scene/workspace.h"
#include "ui/console_ui.h"

namespace brevoxa::cli {

const char* const kInfoUsage = "Usage: brevoxa-cli info FILE [--store DIR]";

namespace {

// The loader's messages go to err, after the part of the tree printed so
// far, so that a terminal shows them where the reading stopped.
class InfoUi : public IUserInterface {
 public:
  InfoUi(std::ostream& out, std::ostream& err) : out_(out), console_(err, Options()) {}

  void Message(const std::string& text) override {
    out_.flush();
    console_.Message(text);
  }
  Answer Ask(const std::string& text, Buttons buttons) override {
    out_.flush();
    return console_.Ask(text, buttons);
  }
  void Status(const std::string&) override {}
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

 private:
  static ConsoleUiOptions Options() {
    ConsoleUiOptions options;
    // Showing a file must never change anything, so every question is declined.
    options.policy = AnswerPolicy::negative;
    options.showStatus = false;
    return options;
  }

  std::ostream& out_;
  ConsoleUi console_;
};

using Reader = bool (*)(const std::string& path, IUserInterface& ui, IArchiveTrace& trace);

bool ReadWorkspace(const std::string& path, IUserInterface& ui, IArchiveTrace& trace) {
  Workspace workspace;
  return workspace.Load(path, ui, &trace);
}

struct KindEntry {
  FileKind kind;
  const char* extension;
  const char* what;
  Reader reader;
};

const KindEntry kKinds[] = {
    {FileKind::workspace, ".wsp", "workspace", ReadWorkspace},
    {FileKind::form, ".frm", "form", ReadFormFile},
    {FileKind::material, ".mat", "material", ReadMaterialFile},
    {FileKind::environment, ".env", "environment", ReadEnvironmentFile},
    {FileKind::renderSettings, ".rdr", "render-settings", ReadRenderSettingsFile},
};

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

const KindEntry* EntryFor(FileKind kind) {
  for (const KindEntry& entry : kKinds)
    if (entry.kind == kind) return &entry;
  return nullptr;
}

int UsageError(std::ostream& err, const std::string& problem) {
  err << "brevoxa-cli info: " << problem << "\n" << kInfoUsage << "\n";
  return kExitUsage;
}

}  // namespace

FileKind KindOfPath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  for (const KindEntry& entry : kKinds)
    if (ext == entry.extension) return entry.kind;
  return FileKind::unknown;
}

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::optional<std::string> file;
  std::optional<std::string> store;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out << kInfoUsage << "\n"
          << "\n"
          << "Prints a workspace (.wsp) or form (.frm) file as a tree of every field read,\n"
          << "with object numbers (#5 ICamera) and references back to them (-> #5).\n"
          << "\n"
          << "  --store DIR   the OBJSTORE folder that form files are looked up in\n"
          << "                (default: $BREVOXA_STORE, else OBJSTORE beside the program)\n";
      return kExitOk;
    }
    if (arg == "--store" || arg.rfind("--store=", 0) == 0) {
      if (arg == "--store") {
        if (i + 1 >= args.size()) return UsageError(err, "--store needs a folder");
        store = args[++i];
      } else {
        store = arg.substr(8);
      }
      if (store->empty()) return UsageError(err, "--store needs a folder");
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return UsageError(err, "unknown option '" + arg + "'");
    if (file) return UsageError(err, "more than one file given");
    file = arg;
  }
  if (!file) return UsageError(err, "no file given");

  const FileKind kind = KindOfPath(*file);
  const KindEntry* entry = EntryFor(kind);
  if (entry == nullptr) {
    std::string ext = LowerExtension(*file);
    std::string problem = "unsupported file type";
    if (!ext.empty()) problem += " '" + ext + "'";
    err << "brevoxa-cli info: " << problem << "\n";
    return kExitUsage;
  }

  std::unique_ptr<ScopedObjectStore> storeScope;
  if (store) storeScope = std::make_unique<ScopedObjectStore>(*store);

  InfoUi ui(out, err);
  TracePrinter printer(out);
  const bool loaded = entry->reader(*file, ui, printer);
  printer.Finish();
  return loaded ? kExitOk : kExitFailed;
}

}  // namespace brevoxa::cli
