// Writing the store's settings documents and images. Every file goes
// through a temporary beside its target, so a failed run never leaves a
// half-written file where a program would read it.
#pragma once

#include <string>

namespace brevoxa {
class CObject;
class IUserInterface;
}  // namespace brevoxa

namespace brevoxa::store {

// Stores the document's own record at path. A failure is shown through ui
// with the document boundary's message and the answer is false.
bool WriteDocument(CObject& document, const std::string& path, IUserInterface& ui);

// A size x size JPEG file of one grey level, written by the renderer's own
// JPEG writer from a sample file, so it decodes as any rendered picture does.
bool WritePlainImage(const std::string& path, int size, int grey, IUserInterface& ui);

}  // namespace brevoxa::store
