// Links: a workspace names its render-settings and environment files, and
// every layer its material file. A link stores only the file name; for a
// render it opens the file into a private document of its kind, falling
// back to that document's defaults (with a message) when the file cannot be
// read, and closes it afterwards.
#pragma once

#include <memory>
#include <string>

#include "persist/object.h"
#include "persist/object_store.h"

namespace brevoxa {

// A document that holds resources only while a link keeps it open for a
// render (a material's textures load their images). The link tells it right
// after loading, also when it fell back to the defaults, and right before
// it destroys the document.
class ILinkedDocument {
 public:
  virtual ~ILinkedDocument() = default;
  virtual void LinkOpened() = 0;
  virtual void LinkClosing() = 0;
};

class ILink : public CObject {
  DECLARE_SERIAL(ILink)
 public:
  // Makes a document of a link's kind with its default values.
  using DocumentFactory = std::unique_ptr<CObject> (*)();

  ILink() = default;
  ~ILink() override;
  ILink(const ILink&) = delete;
  ILink& operator=(const ILink&) = delete;

  // The file to open; a plain link names none.
  virtual std::string GetFullPath() const;
  CObject* GetDocument() const { return document_.get(); }
  // Makes a new document of the link's kind, with its defaults, and keeps it.
  virtual void CreateDocument();
  // CreateDocument, then loads it from GetFullPath. When the file cannot be
  // opened or read, "Unable to load<path>.  Using defaults." is shown and the
  // document keeps the values it has. Either way an ILinkedDocument then
  // hears LinkOpened.
  virtual void Open();
  // Lets the document go; it hears LinkClosing first.
  virtual void Close();
  virtual void CopyFileName(const ILink& other);
  CObject* GetLinkedDocument() const { return GetDocument(); }

  bool IsOpen() const { return document_ != nullptr; }

 protected:
  virtual DocumentFactory Factory() const { return nullptr; }

  std::unique_ptr<CObject> document_;

 private:
  void DropDocument();
};

// The three concrete links: each holds one file name and persists as that
// one string, written inline by its owner (no version word, no class tag).
class INamedLink : public ILink {
  DECLARE_DYNAMIC(INamedLink)
 public:
  INamedLink() = default;
  explicit INamedLink(std::string defaultName) : fileName_(std::move(defaultName)) {}

  void Serialize(CArchive& ar) override;
  std::string GetFullPath() const override { return fileName_.GetFullPath(); }
  void CopyFileName(const ILink& other) override;

  const std::string& GetFileName() const { return fileName_.GetName(); }
  void SetFileName(const std::string& name) { fileName_.SetName(name); }

 private:
  CFileName fileName_;
};

class IRenderLink : public INamedLink {
  DECLARE_SERIAL(IRenderLink)
 public:
  IRenderLink() : INamedLink("RENDER.RDR") {}
  // The render-settings document type plugs itself in here.
  static void SetDocumentFactory(DocumentFactory factory);

 protected:
  DocumentFactory Factory() const override;
};

class IEnvironmentLink : public INamedLink {
  DECLARE_SERIAL(IEnvironmentLink)
 public:
  IEnvironmentLink() : INamedLink("ENVIRONM.ENV") {}
  static void SetDocumentFactory(DocumentFactory factory);

 protected:
  DocumentFactory Factory() const override;
};

class IMaterialLink : public INamedLink {
  DECLARE_SERIAL(IMaterialLink)
 public:
  IMaterialLink() : INamedLink("MATERIAL.MAT") {}
  static void SetDocumentFactory(DocumentFactory factory);

 protected:
  DocumentFactory Factory() const override;
};

}  // namespace brevoxa
