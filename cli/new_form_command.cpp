// The new-form command: reading shapes and their values from the words,
// checking them as the definition dialogs do, generating the layers and
// writing the form body through a safe file.
#include "cli/new_form_command.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <optional>
#include <variant>

#include "cli/info_command.h"
#include "persist/archive.h"
#include "persist/failure_message.h"
#include "persist/safe_file.h"
#include "scene/form_object.h"
#include "scene/generator_settings.h"
#include "scene/generators.h"
#include "scene/layer.h"
#include "ui/console_ui.h"

namespace brevoxa::cli {

const char* const kNewFormUsage = "Usage: brevoxa-cli new-form OUT.FRM SHAPE [SHAPE...]";

namespace {

const char kHelp[] =
    "Builds a form file from primitives. Each shape adds one layer; its values\n"
    "follow the order and ranges of its definition dialog, and its check boxes\n"
    "come after them (the ones that start on are turned off):\n"
    "\n"
    "  --disk RADIUS DIVISIONS [--center-point]\n"
    "  --cone RADIUS HEIGHT DIVISIONS [--open-bottom]\n"
    "  --cylinder TOP-RADIUS BOTTOM-RADIUS HEIGHT DIVISIONS [--open-top] [--open-bottom]\n"
    "  --sphere RADIUS HORIZONTAL-DIVISIONS VERTICAL-DIVISIONS\n"
    "  --plane WIDTH HEIGHT HORIZONTAL-DIVISIONS VERTICAL-DIVISIONS\n"
    "\n"
    "Radii, heights and widths are 0.1 to 30000 (a plane's 0.001 to 30000);\n"
    "divisions 3 to 30000 (a plane's 1 to 1000). A value out of range is refused\n"
    "with the dialog's message and exit status 2.\n"
    "\n"
    "Example: brevoxa-cli new-form BALL.FRM --sphere 50 24 12\n";

// One shape's dialog values.
using Shape = std::variant<DiskDefinition, ConeDefinition, CylinderDefinition, SphereDefinition, PlaneDefinition>;

struct ShapeWords {
  const char* option;
  const char* title;
  std::vector<const GeneratorField*> fields;
};

const ShapeWords kShapes[] = {
    {"--disk", DiskDefinition::kTitle, {&DiskDefinition::kRadius, &DiskDefinition::kDivisions}},
    {"--cone", ConeDefinition::kTitle, {&ConeDefinition::kRadius, &ConeDefinition::kHeight, &ConeDefinition::kDivisions}},
    {"--cylinder",
     CylinderDefinition::kTitle,
     {&CylinderDefinition::kTopRadius, &CylinderDefinition::kBottomRadius, &CylinderDefinition::kHeight,
      &CylinderDefinition::kDivisions}},
    {"--sphere",
     SphereDefinition::kTitle,
     {&SphereDefinition::kRadius, &SphereDefinition::kHorizontalDivisions, &SphereDefinition::kVerticalDivisions}},
    {"--plane",
     PlaneDefinition::kTitle,
     {&PlaneDefinition::kWidth, &PlaneDefinition::kHeight, &PlaneDefinition::kHorizontalDivisions,
      &PlaneDefinition::kVerticalDivisions}},
};

// "&Top Radius:" as a sentence names it: "Top Radius".
std::string PlainLabel(const char* label) {
  std::string plain;
  for (const char* c = label; *c != '\0'; ++c)
    if (*c != '&') plain += *c;
  if (!plain.empty() && plain.back() == ':') plain.pop_back();
  return plain;
}

std::optional<double> ParseNumber(const std::string& word) {
  if (word.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(word.c_str(), &end);
  if (end != word.c_str() + word.size()) return std::nullopt;
  // An overflow comes back as infinity, which every range then refuses.
  return value;
}

struct Problem {
  int code;
  std::string text;
  bool showUsage;
};

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  // Fills path and shapes, or gives the first problem.
  std::optional<Problem> Parse(std::optional<std::string>& path, std::vector<Shape>& shapes) {
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& word = args_[i_];
      if (const ShapeWords* shape = ShapeFor(word)) {
        if (auto problem = ReadShape(*shape, shapes)) return problem;
      } else if (word == "--center-point" || word == "--open-top" || word == "--open-bottom") {
        if (auto problem = ApplyFlag(word, shapes)) return problem;
      } else if (word.size() > 1 && word[0] == '-') {
        return Usage("unknown option '" + word + "'");
      } else if (path) {
        return Usage("more than one output file given");
      } else {
        path = word;
      }
    }
    if (!path) return Usage("no output file given");
    if (KindOfPath(*path) != FileKind::form) return Usage("the output must be a form file (.frm)");
    if (shapes.empty()) return Usage("no shape given");
    return std::nullopt;
  }

 private:
  static const ShapeWords* ShapeFor(const std::string& word) {
    for (const ShapeWords& shape : kShapes)
      if (word == shape.option) return &shape;
    return nullptr;
  }

  static Problem Usage(const std::string& text) { return {kExitUsage, text, true}; }

  std::optional<Problem> ReadShape(const ShapeWords& shape, std::vector<Shape>& shapes) {
    const size_t count = shape.fields.size();
    if (args_.size() - i_ - 1 < count) {
      std::string text = shape.option;
      text += " needs ";
      text += std::to_string(count);
      text += " values";
      return Usage(text);
    }
    std::vector<double> values;
    for (const GeneratorField* field : shape.fields) {
      const std::string& word = args_[++i_];
      std::optional<double> value = ParseNumber(word);
      // A field that does not hold a number gets the framework's own words.
      std::optional<std::string> message;
      if (!value) message = field->range.integer ? "Please enter an integer." : "Please enter a number.";
      else message = field->range.Check(*value);
      if (message) {
        std::string text = shape.title;
        text += ", ";
        text += PlainLabel(field->label);
        text += ": ";
        text += *message;
        return Problem{kExitUsage, text, false};
      }
      values.push_back(*value);
    }
    auto whole = [&](size_t k) { return static_cast<int32_t>(values[k]); };
    const std::string option = shape.option;
    if (option == "--disk") shapes.emplace_back(DiskDefinition{values[0], whole(1), false});
    else if (option == "--cone") shapes.emplace_back(ConeDefinition{values[0], values[1], whole(2), true});
    else if (option == "--cylinder")
      shapes.emplace_back(CylinderDefinition{values[0], values[1], values[2], whole(3), true, true});
    else if (option == "--sphere") shapes.emplace_back(SphereDefinition{values[0], whole(1), whole(2)});
    else shapes.emplace_back(PlaneDefinition{values[0], values[1], whole(2), whole(3)});
    return std::nullopt;
  }

  std::optional<Problem> ApplyFlag(const std::string& flag, std::vector<Shape>& shapes) {
    bool applied = false;
    if (!shapes.empty()) {
      Shape& last = shapes.back();
      if (auto* disk = std::get_if<DiskDefinition>(&last); disk && flag == "--center-point") {
        disk->centrePoint = true;
        applied = true;
      } else if (auto* cone = std::get_if<ConeDefinition>(&last); cone && flag == "--open-bottom") {
        cone->closeBottom = false;
        applied = true;
      } else if (auto* cylinder = std::get_if<CylinderDefinition>(&last)) {
        if (flag == "--open-top") cylinder->closeTop = false;
        if (flag == "--open-bottom") cylinder->closeBottom = false;
        applied = flag != "--center-point";
      }
    }
    if (applied) return std::nullopt;
    return Usage("'" + flag + "' does not belong to the shape before it");
  }

  const std::vector<std::string>& args_;
  size_t i_ = 0;
};

std::string Counted(size_t n, const char* one, const char* many) {
  std::string text = std::to_string(n);
  text += ' ';
  text += n == 1 ? one : many;
  return text;
}

// The body alone, as a form writes its own file.
void WriteFormFile(IObject& form, const std::string& path) {
  // Form files have always been written through an archive of this size.
  constexpr size_t kFormBufferSize = 4096;
  CSafeFile file(path);
  CArchive ar(&file, CArchive::store, kFormBufferSize);
  form.SerializeBody(ar);
  ar.Close();
  file.Commit();
}

}  // namespace

int RunNewForm(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      out << kNewFormUsage << "\n\n" << kHelp;
      return kExitOk;
    }
  }
  std::optional<std::string> path;
  std::vector<Shape> shapes;
  if (auto problem = Parser(args).Parse(path, shapes)) {
    err << "brevoxa-cli new-form: " << problem->text << "\n";
    if (problem->showUsage) err << kNewFormUsage << "\n";
    return problem->code;
  }
  // Every value is in range; only the sizes are left, of each shape and,
  // since they all go into one form, of all of them together.
  uint64_t elements = 0;
  for (const Shape& shape : shapes) {
    std::optional<std::string> refused = std::visit([](const auto& s) { return s.Check(); }, shape);
    elements += std::visit([](const auto& s) { return s.ElementCount(); }, shape);
    if (!refused) refused = CheckGeneratedElements(elements);
    if (refused) {
      err << "brevoxa-cli new-form: " << *refused << "\n";
      return kExitUsage;
    }
  }

  IObject form;
  std::vector<std::string> added;
  for (const Shape& shape : shapes) {
    ILayer* layer = std::visit([&](const auto& s) { return s.AddTo(form); }, shape);
    if (layer != nullptr) added.push_back(AddedLayerStatus(*layer));
  }
  try {
    WriteFormFile(form, *path);
  } catch (...) {
    ConsoleUiOptions options;
    options.showStatus = false;
    ConsoleUi ui(err, options);
    ReportFailure(ui, std::current_exception(), DocumentOperation::save, *path);
    return kExitFailed;
  }
  for (const std::string& line : added) out << line << "\n";
  out << *path << ": " << Counted(form.GetLayers().GetCount(), "layer", "layers") << ", "
      << Counted(form.GetPoints().GetCount(), "point", "points") << ", "
      << Counted(form.GetPolygonCount(), "polygon", "polygons") << "\n";
  return kExitOk;
}

}  // namespace brevoxa::cli
