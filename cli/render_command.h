// `brevoxa-cli render WORKSPACE.wsp [--store DIR] [--output FILE] [--yes]
// [--quiet] [--camera NAME] [--threads N] [--stats]`: renders a camera of a workspace
// exactly as the editor's background render does (on a render thread of its
// own, so the picture is the same to the byte) and writes the JPEG to
// OBJSTORE/RENDERED, and the picture also to FILE (.jpg, .png or .ppm) when
// given. --stats adds the wall time, the rays per second and the peak
// memory to the statistics, for measuring the renderer from the shell.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace brevoxa::cli {

extern const char* const kRenderUsage;

// What the command's streams are connected to.
struct RenderTerminal {
  // Where answers to the questions are read when it is a terminal.
  std::istream* input = nullptr;
  bool inputIsTerminal = false;
  // A terminal gets a progress bar redrawn in place, anything else a line
  // now and then.
  bool errorIsTerminal = false;
};

// Standard input and standard error of this process.
RenderTerminal ProcessTerminal();

// args are the words after "render". The camera, the picture's path and the
// statistics go to out; questions, progress, messages and usage errors to
// err. Exit status 0 when the picture (and FILE) was written, 1 when the
// workspace could not be read, a picture could not be written or the
// render was declined, 2 for usage errors (a bad option, an unknown FILE
// extension, no such camera). Ctrl+C stops the render: the rest of the
// picture is white and it is written all the same.
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const RenderTerminal& terminal);

}  // namespace brevoxa::cli
