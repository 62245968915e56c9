// Links to settings files.
#include "persist/link.h"

#include <atomic>

#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "ui/user_interface.h"

namespace brevoxa {

IMPLEMENT_SERIAL(ILink, CObject, 0)
IMPLEMENT_DYNAMIC(INamedLink, ILink)
IMPLEMENT_SERIAL(IRenderLink, INamedLink, 0)
IMPLEMENT_SERIAL(IEnvironmentLink, INamedLink, 0)
IMPLEMENT_SERIAL(IMaterialLink, INamedLink, 0)

namespace {
// Settings files are small; the links have always read them in small steps.
constexpr size_t kLinkBufferSize = 512;

std::atomic<ILink::DocumentFactory> renderFactory{nullptr};
std::atomic<ILink::DocumentFactory> environmentFactory{nullptr};
std::atomic<ILink::DocumentFactory> materialFactory{nullptr};
}  // namespace

ILink::~ILink() { DropDocument(); }

void ILink::DropDocument() {
  if (auto* linked = dynamic_cast<ILinkedDocument*>(document_.get())) linked->LinkClosing();
  document_.reset();
}

std::string ILink::GetFullPath() const { return {}; }

void ILink::CreateDocument() {
  DocumentFactory factory = Factory();
  DropDocument();
  document_ = factory ? factory() : nullptr;
}

void ILink::Open() {
  CreateDocument();
  std::string path = GetFullPath();
  try {
    CDiskFile file(path, CDiskFile::modeRead);
    CArchive ar(&file, CArchive::load, kLinkBufferSize);
    if (document_) document_->Serialize(ar);
  } catch (const std::exception&) {
    CurrentUserInterface().Message("Unable to load" + path + ".  Using defaults.");
  }
  if (auto* linked = dynamic_cast<ILinkedDocument*>(document_.get())) linked->LinkOpened();
}

void ILink::Close() { DropDocument(); }

void ILink::CopyFileName(const ILink&) {}

void INamedLink::Serialize(CArchive& ar) {
  std::string name = fileName_.GetName();
  ar.Transfer("fileName", name);
  if (ar.IsLoading()) fileName_.SetName(name);
}

void INamedLink::CopyFileName(const ILink& other) {
  if (const auto* named = dynamic_cast<const INamedLink*>(&other)) fileName_ = named->fileName_;
}

void IRenderLink::SetDocumentFactory(DocumentFactory factory) { renderFactory = factory; }
ILink::DocumentFactory IRenderLink::Factory() const { return renderFactory; }
void IEnvironmentLink::SetDocumentFactory(DocumentFactory factory) { environmentFactory = factory; }
ILink::DocumentFactory IEnvironmentLink::Factory() const { return environmentFactory; }
void IMaterialLink::SetDocumentFactory(DocumentFactory factory) { materialFactory = factory; }
ILink::DocumentFactory IMaterialLink::Factory() const { return materialFactory; }

}  // namespace brevoxa
