// The archive object stream: every file the program writes for itself, and
// the editor's copy buffer, is one of these. Scalars are little-endian and
// untagged; strings carry a length prefix; object pointers are written as a
// tag that names a new class, a new object of a known class, or an object
// already in the stream by index.
//
// Indices: one counter numbers classes and objects in order of first
// appearance, 0 being the null pointer. Up to index 0x7FFE everything fits a
// WORD tag. Past it the stream switches to the big-index form, so that large
// forms can always be saved:
//   reference or back-reference to index >= 0x7FFF: WORD 0x7FFF, DWORD index
//   new object of a described class whose index is >= 0x7FFF:
//                                      WORD 0x7FFF, DWORD 0x80000000 | index
//   list count >= 0xFFFF:              WORD 0xFFFF, DWORD count
// Readers accept both forms wherever they may occur.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "persist/exceptions.h"
#include "persist/object.h"

namespace brevoxa {

class CFile;

// Receives what a loading archive reads, field by field, so that a file can
// be shown as a readable tree by the same code that loads it.
class IArchiveTrace {
 public:
  virtual ~IArchiveTrace() = default;
  // A named scalar or string field, as text.
  virtual void Value(std::string_view name, const std::string& text) = 0;
  // A new object and its index; its fields follow until EndObject.
  virtual void BeginObject(std::string_view name, uint32_t index, std::string_view className) = 0;
  virtual void EndObject() = 0;
  // A reference to an object already read (index 0: the null pointer).
  virtual void Reference(std::string_view name, uint32_t index, std::string_view className) = 0;
  // An inline record or a list (count is the element count of a list, else 0).
  virtual void BeginGroup(std::string_view name, uint32_t count) = 0;
  virtual void EndGroup() = 0;
};

// "[i]": how traces name the elements of a list.
std::string IndexLabel(uint32_t i);

// Text forms of field values, as traces show them.
std::string TraceText(uint8_t v);
std::string TraceText(uint16_t v);
std::string TraceText(int32_t v);
std::string TraceText(uint32_t v);
std::string TraceText(float v);
std::string TraceText(double v);
std::string TraceText(const std::string& v);

class CArchive {
 public:
  enum Mode { store = 0, load = 1 };

  static constexpr uint32_t kMaxSmallIndex = 0x7FFE;
  static constexpr uint32_t kMaxIndex = 0x3FFFFFFE;
  static constexpr uint16_t kBigIndexTag = 0x7FFF;
  static constexpr uint16_t kNewClassTag = 0xFFFF;
  static constexpr uint16_t kClassTag = 0x8000;
  static constexpr uint32_t kBigClassFlag = 0x80000000;
  // Deepest nesting of objects read inside objects; far beyond any real file.
  static constexpr int kMaxDepth = 200;
  static constexpr size_t kMaxClassNameLength = 63;

  CArchive(CFile* file, Mode mode, size_t bufferSize = 4096);
  // A storing archive that was not closed flushes what it holds, silently.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoading() const { return mode_ == load; }
  bool IsStoring() const { return mode_ == store; }
  CFile* GetFile() const { return file_; }

  // Writes out the buffer (storing) and detaches from the file.
  void Close();
  void Flush();

  // Scalars. The widths are fixed: BYTE, WORD, int/LONG/BOOL/DWORD, float,
  // double. Types whose width differs between platforms are refused.
  CArchive& operator<<(uint8_t v) { return PutRaw(&v, 1); }
  CArchive& operator<<(uint16_t v);
  CArchive& operator<<(int32_t v) { return *this << static_cast<uint32_t>(v); }
  CArchive& operator<<(uint32_t v);
  CArchive& operator<<(float v);
  CArchive& operator<<(double v);
  CArchive& operator<<(const std::string& s) { WriteString(s); return *this; }
  CArchive& operator<<(bool) = delete;
  CArchive& operator<<(long) = delete;
  CArchive& operator<<(unsigned long) = delete;
  CArchive& operator<<(char) = delete;
  CArchive& operator<<(const char*) = delete;

  CArchive& operator>>(uint8_t& v) { return GetRaw(&v, 1); }
  CArchive& operator>>(uint16_t& v);
  CArchive& operator>>(int32_t& v);
  CArchive& operator>>(uint32_t& v);
  CArchive& operator>>(float& v);
  CArchive& operator>>(double& v);
  CArchive& operator>>(std::string& s) { s = ReadString(); return *this; }
  CArchive& operator>>(bool&) = delete;
  CArchive& operator>>(long&) = delete;
  CArchive& operator>>(unsigned long&) = delete;
  CArchive& operator>>(char&) = delete;

  // Writes or reads the value, as the archive's direction says.
  template <class T>
  void Transfer(T& value) {
    if (IsStoring()) *this << value; else *this >> value;
  }

  // A named field: transferred as above (or by the value's own Serialize,
  // for inline values such as vectors), and shown to the trace on loading.
  template <class T>
  void Transfer(std::string_view name, T& value) {
    if constexpr (requires { value.Serialize(*this); }) {
      value.Serialize(*this);
    } else {
      Transfer(value);
    }
    if (trace_ && IsLoading()) trace_->Value(name, TraceText(value));
  }

  // Tracing. A trace sees every named field, object and group read.
  void SetTrace(IArchiveTrace* trace) { trace_ = trace; }
  IArchiveTrace* GetTrace() const { return IsLoading() ? trace_ : nullptr; }
  // Names the next object reference read (shown by the trace).
  void Label(std::string_view name) { label_ = name; }
  // Marks an inline record or a list for the trace for the life of the scope.
  class Group {
   public:
    Group(CArchive& ar, std::string_view name, uint32_t count = 0) : trace_(ar.GetTrace()) {
      if (trace_) trace_->BeginGroup(name, count);
    }
    ~Group() {
      if (trace_) trace_->EndGroup();
    }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

   private:
    IArchiveTrace* trace_;
  };

  // Raw blocks of n bytes. Read fails with end-of-file when fewer remain.
  void Write(const void* data, size_t n);
  void Read(void* data, size_t n);

  void WriteString(const std::string& s);
  std::string ReadString();

  // Object references. WriteObject writes null, a back-reference or the
  // whole object. ReadObject returns the object, a shared object already read,
  // or null, and fails unless the object is of the expected class (when one
  // is given). An object whose own fields fail to read is destroyed.
  void WriteObject(const CObject* object);
  CObject* ReadObject(const CRuntimeClass* expected = nullptr);
  // For pointers that own what they point to: as ReadObject, but an object
  // can be owned only once, and never by an object inside it, so a stream
  // that hands one object to two owners or makes an object own itself fails
  // with bad-index instead of leading to a double destruction.
  CObject* ReadOwnedObject(const CRuntimeClass* expected = nullptr);

  // Loading: hands over the objects this stream created that no owning
  // pointer claimed (a corrupt stream can put a new object where only a
  // reference belongs). The caller adopts or destroys them; they count as
  // owned afterwards. With a mark from LoadMark, only objects read since
  // then are handed over, so a record inside a larger stream can settle its
  // own objects without touching those of the records around it.
  std::vector<CObject*> TakeUnownedObjects(size_t sinceMark = 0);
  size_t LoadMark() const { return loadTable_.size(); }
  // Loading: lets a non-owning pointer hold an object that nobody owns yet
  // (a view's camera read before the scene list that owns it) without
  // blocking the real owner: the object counts as owned from now on, and
  // when an owning pointer read later claims it, release is called first so
  // that the holder lets it go. False, and nothing changes, when the object
  // is owned already or is not one this stream created. The holder must
  // outlive the reading.
  bool HoldUntilClaimed(CObject* object, std::function<void()> release);

  // Element counts of lists: WORD, or WORD 0xFFFF and a DWORD from 0xFFFF on.
  void WriteCount(uint32_t count);
  // Fails with end-of-file when count * minBytesPerItem exceeds what remains,
  // so that no list is sized from a count the data cannot hold.
  uint32_t ReadCount(size_t minBytesPerItem = 2);

  // Loading: the bytes not yet read. Storing: 0.
  uint64_t BytesRemaining() const;
  // Throws end-of-file unless n bytes remain to be read.
  void RequireBytes(uint64_t n) const;
  // The schema stored for the class of the object being read.
  uint16_t GetObjectSchema() const { return loadSchema_; }

 private:
  struct LoadEntry {
    CObject* object = nullptr;
    const CRuntimeClass* cls = nullptr;  // set for class entries
    bool owned = false;
    bool reading = false;  // its fields are being read right now
    std::function<void()> release;  // set while held by HoldUntilClaimed
  };

  CArchive& PutRaw(const void* data, size_t n);
  CArchive& GetRaw(void* data, size_t n);
  void FillBuffer();
  void WriteLength(uint32_t length);
  uint32_t ReadLength(bool& wide);
  void WriteIndexTag(uint32_t index);
  uint32_t NextStoreIndex();
  CObject* ReadObjectEntry(const CRuntimeClass* expected, bool owning);
  const CRuntimeClass* ReadClassDescription();
  const CRuntimeClass* ClassAt(uint32_t index) const;
  void CheckLoading() const;
  void CheckStoring() const;

  CFile* file_;
  Mode mode_;
  std::vector<uint8_t> buffer_;
  size_t bufferPos_ = 0;   // next byte to read or write
  size_t bufferEnd_ = 0;   // loading: end of valid data in the buffer

  // Storing: index of every object and class written so far.
  std::unordered_map<const void*, uint32_t> storeMap_;
  uint32_t nextStoreIndex_ = 1;
  // Loading: entry 0 is the null pointer.
  std::vector<LoadEntry> loadTable_;
  uint16_t loadSchema_ = 0;
  int depth_ = 0;
  IArchiveTrace* trace_ = nullptr;
  std::string label_;
};

}  // namespace brevoxa
