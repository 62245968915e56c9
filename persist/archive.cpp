// The archive object stream: buffering, scalars, strings, object references
// and list counts. See archive.h for the encoding.
#include "persist/archive.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <memory>

#include "persist/class_registry.h"
#include "persist/file.h"

namespace brevoxa {

static_assert(std::endian::native == std::endian::little, "the stream is written in the machine's byte order");

namespace {
// The shortest object reference is a WORD tag.
constexpr size_t kMinReferenceBytes = 2;
}  // namespace

std::string IndexLabel(uint32_t i) {
  // Built in steps: GCC 12 warns falsely about the one-expression form.
  std::string label = "[";
  label += std::to_string(i);
  label += ']';
  return label;
}

std::string TraceText(uint8_t v) { return std::to_string(v); }
std::string TraceText(uint16_t v) { return std::to_string(v); }
std::string TraceText(int32_t v) { return std::to_string(v); }
std::string TraceText(uint32_t v) { return std::to_string(v); }

// The shortest text that reads back as the same number.
template <class T>
static std::string ShortestText(T v) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, v);
  return std::string(text, result.ptr);
}
std::string TraceText(float v) { return ShortestText(v); }
std::string TraceText(double v) { return ShortestText(v); }

std::string TraceText(const std::string& v) {
  std::string text = "\"";
  for (unsigned char c : v) {
    if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      static const char hex[] = "0123456789abcdef";
      text += "\\x";
      text += hex[c >> 4];
      text += hex[c & 15];
    } else {
      text += static_cast<char>(c);
    }
  }
  return text + "\"";
}

CArchive::CArchive(CFile* file, Mode mode, size_t bufferSize)
    : file_(file), mode_(mode), buffer_(std::max<size_t>(bufferSize, 128)) {}

CArchive::~CArchive() {
  if (file_ && IsStoring()) {
    try {
      Flush();
    } catch (...) {
      // A destructor cannot report; a caller that needs to know calls Close().
    }
  }
}

void CArchive::Close() {
  if (!file_) return;
  if (IsStoring()) Flush();
  file_ = nullptr;
}

void CArchive::Flush() {
  if (!file_ || !IsStoring()) return;
  if (bufferPos_ > 0) {
    file_->Write(buffer_.data(), bufferPos_);
    bufferPos_ = 0;
  }
  file_->Flush();
}

void CArchive::CheckLoading() const {
  if (!IsLoading()) throw CArchiveException(CArchiveException::writeOnly);
  if (!file_) throw CArchiveException(CArchiveException::generic, "archive is closed");
}

void CArchive::CheckStoring() const {
  if (!IsStoring()) throw CArchiveException(CArchiveException::readOnly);
  if (!file_) throw CArchiveException(CArchiveException::generic, "archive is closed");
}

// ---- raw bytes ----

CArchive& CArchive::PutRaw(const void* data, size_t n) {
  CheckStoring();
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    if (bufferPos_ == buffer_.size()) {
      file_->Write(buffer_.data(), bufferPos_);
      bufferPos_ = 0;
    }
    size_t chunk = std::min(n, buffer_.size() - bufferPos_);
    std::memcpy(buffer_.data() + bufferPos_, p, chunk);
    bufferPos_ += chunk;
    p += chunk;
    n -= chunk;
  }
  return *this;
}

void CArchive::FillBuffer() {
  bufferPos_ = 0;
  bufferEnd_ = file_->Read(buffer_.data(), buffer_.size());
}

CArchive& CArchive::GetRaw(void* data, size_t n) {
  CheckLoading();
  auto* p = static_cast<uint8_t*>(data);
  while (n > 0) {
    if (bufferPos_ == bufferEnd_) {
      FillBuffer();
      if (bufferEnd_ == 0) throw CArchiveException(CArchiveException::endOfFile);
    }
    size_t chunk = std::min(n, bufferEnd_ - bufferPos_);
    std::memcpy(p, buffer_.data() + bufferPos_, chunk);
    bufferPos_ += chunk;
    p += chunk;
    n -= chunk;
  }
  return *this;
}

void CArchive::Write(const void* data, size_t n) { PutRaw(data, n); }

void CArchive::Read(void* data, size_t n) {
  RequireBytes(n);
  GetRaw(data, n);
}

uint64_t CArchive::BytesRemaining() const {
  if (!IsLoading() || !file_) return 0;
  return (bufferEnd_ - bufferPos_) + file_->BytesLeft();
}

void CArchive::RequireBytes(uint64_t n) const {
  CheckLoading();
  if (n > BytesRemaining()) throw CArchiveException(CArchiveException::endOfFile);
}

// ---- scalars (the machine is little-endian, as the stream) ----

CArchive& CArchive::operator<<(uint16_t v) { return PutRaw(&v, sizeof v); }
CArchive& CArchive::operator<<(uint32_t v) { return PutRaw(&v, sizeof v); }
CArchive& CArchive::operator<<(float v) { return PutRaw(&v, sizeof v); }
CArchive& CArchive::operator<<(double v) { return PutRaw(&v, sizeof v); }
// A value cut short by the end of the data is left as it was, never half
// overwritten.
template <class T>
static CArchive& GetScalar(CArchive& ar, T& v, CArchive& (CArchive::*get)(void*, size_t)) {
  T read;
  (ar.*get)(&read, sizeof read);
  v = read;
  return ar;
}
CArchive& CArchive::operator>>(uint16_t& v) { return GetScalar(*this, v, &CArchive::GetRaw); }
CArchive& CArchive::operator>>(int32_t& v) { return GetScalar(*this, v, &CArchive::GetRaw); }
CArchive& CArchive::operator>>(uint32_t& v) { return GetScalar(*this, v, &CArchive::GetRaw); }
CArchive& CArchive::operator>>(float& v) { return GetScalar(*this, v, &CArchive::GetRaw); }
CArchive& CArchive::operator>>(double& v) { return GetScalar(*this, v, &CArchive::GetRaw); }

// ---- strings ----

void CArchive::WriteLength(uint32_t length) {
  if (length < 0xFF) {
    *this << static_cast<uint8_t>(length);
  } else if (length < 0xFFFE) {
    *this << static_cast<uint8_t>(0xFF) << static_cast<uint16_t>(length);
  } else {
    *this << static_cast<uint8_t>(0xFF) << static_cast<uint16_t>(0xFFFF) << length;
  }
}

uint32_t CArchive::ReadLength(bool& wide) {
  uint8_t b = 0;
  *this >> b;
  if (b < 0xFF) return b;
  uint16_t w = 0;
  *this >> w;
  if (w == 0xFFFE) {
    wide = true;
    return 0xFFFFFFFF;  // the caller reads the second prefix
  }
  if (w < 0xFFFF) return w;
  uint32_t d = 0;
  *this >> d;
  return d;
}

void CArchive::WriteString(const std::string& s) {
  if (s.size() > 0xFFFFFFFFu) throw CArchiveException(CArchiveException::generic, "string too long");
  WriteLength(static_cast<uint32_t>(s.size()));
  PutRaw(s.data(), s.size());
}

std::string CArchive::ReadString() {
  bool wide = false;
  uint32_t length = ReadLength(wide);
  if (wide) {
    // Strings in 16-bit characters: a second prefix, then two bytes each.
    bool again = false;
    length = ReadLength(again);
    if (again) throw CArchiveException(CArchiveException::generic, "nested wide-string marker");
    RequireBytes(uint64_t{length} * 2);
    std::string s(length, '\0');
    for (uint32_t i = 0; i < length; ++i) {
      uint16_t c = 0;
      *this >> c;
      // Characters beyond the 8-bit range have no single-byte form.
      s[i] = c < 0x100 ? static_cast<char>(c) : '?';
    }
    return s;
  }
  RequireBytes(length);
  std::string s(length, '\0');
  GetRaw(s.data(), length);
  return s;
}

// ---- list counts ----

void CArchive::WriteCount(uint32_t count) {
  if (count < 0xFFFF) {
    *this << static_cast<uint16_t>(count);
  } else {
    *this << static_cast<uint16_t>(0xFFFF) << count;
  }
}

uint32_t CArchive::ReadCount(size_t minBytesPerItem) {
  uint16_t w = 0;
  *this >> w;
  uint32_t count = w;
  if (w == 0xFFFF) *this >> count;
  RequireBytes(uint64_t{count} * minBytesPerItem);
  return count;
}

// ---- object references: storing ----

uint32_t CArchive::NextStoreIndex() {
  if (nextStoreIndex_ > kMaxIndex) throw CArchiveException(CArchiveException::badIndex, "too many objects in one stream");
  return nextStoreIndex_++;
}

void CArchive::WriteIndexTag(uint32_t index) {
  if (index <= kMaxSmallIndex) {
    *this << static_cast<uint16_t>(index);
  } else {
    *this << kBigIndexTag << index;
  }
}

void CArchive::WriteObject(const CObject* object) {
  CheckStoring();
  if (object == nullptr) {
    *this << static_cast<uint16_t>(0);
    return;
  }
  const CRuntimeClass* cls = object->GetRuntimeClass();
  if (!cls->IsPersistent())
    throw CNotSupportedException(std::string("class ") + cls->className + " cannot be stored");

  if (auto it = storeMap_.find(object); it != storeMap_.end()) {
    WriteIndexTag(it->second);
    return;
  }

  if (auto it = storeMap_.find(cls); it != storeMap_.end()) {
    uint32_t classIndex = it->second;
    if (classIndex <= kMaxSmallIndex) {
      *this << static_cast<uint16_t>(kClassTag | classIndex);
    } else {
      *this << kBigIndexTag << (kBigClassFlag | classIndex);
    }
  } else {
    uint32_t classIndex = NextStoreIndex();
    size_t nameLength = std::strlen(cls->className);
    *this << kNewClassTag << cls->schema << static_cast<uint16_t>(nameLength);
    PutRaw(cls->className, nameLength);
    storeMap_.emplace(cls, classIndex);
  }

  // The object has its index before its fields are written, so objects
  // inside it can refer back to it.
  storeMap_.emplace(object, NextStoreIndex());
  const_cast<CObject*>(object)->Serialize(*this);
}

// ---- object references: loading ----

const CRuntimeClass* CArchive::ClassAt(uint32_t index) const {
  if (index == 0 || index >= loadTable_.size() || loadTable_[index].cls == nullptr)
    throw CArchiveException(CArchiveException::badIndex, "no class at index " + std::to_string(index));
  return loadTable_[index].cls;
}

const CRuntimeClass* CArchive::ReadClassDescription() {
  uint16_t schema = 0;
  uint16_t nameLength = 0;
  *this >> schema >> nameLength;
  if (nameLength > kMaxClassNameLength) throw CArchiveException(CArchiveException::badClass, "class name too long");
  char name[kMaxClassNameLength + 1] = {};
  GetRaw(name, nameLength);
  const CRuntimeClass* cls = ClassRegistry::Instance().Find(std::string_view(name, nameLength));
  if (cls == nullptr || !cls->IsPersistent())
    throw CArchiveException(CArchiveException::badClass, "unknown class " + std::string(name, nameLength));
  if (schema != cls->schema) throw CArchiveException(CArchiveException::badSchema, cls->className);
  return cls;
}

CObject* CArchive::ReadObject(const CRuntimeClass* expected) { return ReadObjectEntry(expected, false); }

CObject* CArchive::ReadOwnedObject(const CRuntimeClass* expected) { return ReadObjectEntry(expected, true); }

CObject* CArchive::ReadObjectEntry(const CRuntimeClass* expected, bool owning) {
  CheckLoading();
  if (expected != nullptr && !expected->IsPersistent())
    throw CNotSupportedException(std::string("class ") + expected->className + " cannot be loaded");
  if (loadTable_.empty()) loadTable_.emplace_back();  // entry 0: null

  std::string label = std::move(label_);
  label_.clear();
  uint16_t tag = 0;
  *this >> tag;

  // Decode the tag into either a back-reference or the class of a new object.
  const CRuntimeClass* cls = nullptr;
  bool reference = false;
  uint32_t index = 0;
  if (tag == kNewClassTag) {
    if (loadTable_.size() > kMaxIndex) throw CArchiveException(CArchiveException::badIndex, "table full");
    cls = ReadClassDescription();
    LoadEntry entry;
    entry.cls = cls;
    loadTable_.push_back(entry);
  } else if (tag == kBigIndexTag) {
    uint32_t value = 0;
    *this >> value;
    if (value & kBigClassFlag) {
      cls = ClassAt(value & ~kBigClassFlag);
    } else {
      reference = true;
      index = value;
    }
  } else if (tag & kClassTag) {
    cls = ClassAt(tag & ~kClassTag);
  } else {
    reference = true;
    index = tag;
  }

  if (reference) {
    if (index >= loadTable_.size() || (index != 0 && loadTable_[index].object == nullptr))
      throw CArchiveException(CArchiveException::badIndex, "no object at index " + std::to_string(index));
    LoadEntry& entry = loadTable_[index];
    if (trace_)
      trace_->Reference(label, index, index == 0 ? "" : entry.object->GetRuntimeClass()->className);
    if (index == 0) return nullptr;
    if (expected != nullptr && !entry.object->IsKindOf(expected))
      throw CArchiveException(CArchiveException::badClass, "object is not a " + std::string(expected->className));
    if (owning) {
      if (entry.owned && !entry.release) throw CArchiveException(CArchiveException::badIndex, "object owned twice");
      // An object still being read would come to own itself.
      if (entry.reading) throw CArchiveException(CArchiveException::badIndex, "object owned from inside itself");
      if (entry.release) {
        std::function<void()> release = std::move(entry.release);
        entry.release = nullptr;
        release();
      }
      entry.owned = true;
    }
    return entry.object;
  }

  // A new object. Refuse a class of the wrong kind before reading its fields,
  // then give it its index so that objects inside it can refer back to it.
  if (expected != nullptr && !cls->IsDerivedFrom(expected))
    throw CArchiveException(CArchiveException::badClass, std::string(cls->className) + " is not a " + expected->className);
  if (loadTable_.size() > kMaxIndex) throw CArchiveException(CArchiveException::badIndex, "table full");
  if (depth_ >= kMaxDepth) throw CArchiveException(CArchiveException::badIndex, "objects nested too deeply");

  std::unique_ptr<CObject> object(cls->CreateObject());
  size_t objectIndex = loadTable_.size();
  LoadEntry entry;
  entry.object = object.get();
  entry.owned = owning;
  entry.reading = true;
  loadTable_.push_back(entry);

  uint16_t outerSchema = loadSchema_;
  loadSchema_ = cls->schema;
  ++depth_;
  if (trace_) trace_->BeginObject(label, static_cast<uint32_t>(objectIndex), cls->className);
  try {
    object->Serialize(*this);
  } catch (...) {
    --depth_;
    // The object dies with the failure; nothing may refer to it any more.
    loadTable_[objectIndex].object = nullptr;
    throw;
  }
  --depth_;
  if (trace_) trace_->EndObject();
  loadSchema_ = outerSchema;
  loadTable_[objectIndex].reading = false;
  return object.release();
}

std::vector<CObject*> CArchive::TakeUnownedObjects(size_t sinceMark) {
  std::vector<CObject*> unowned;
  for (size_t i = sinceMark; i < loadTable_.size(); ++i) {
    LoadEntry& entry = loadTable_[i];
    if (entry.object != nullptr && !entry.owned) {
      unowned.push_back(entry.object);
      entry.owned = true;
    }
  }
  return unowned;
}

bool CArchive::HoldUntilClaimed(CObject* object, std::function<void()> release) {
  CheckLoading();
  if (object == nullptr || !release) return false;
  for (LoadEntry& entry : loadTable_) {
    if (entry.object != object) continue;
    if (entry.owned) return false;
    entry.owned = true;
    entry.release = std::move(release);
    return true;
  }
  return false;
}

}  // namespace brevoxa
