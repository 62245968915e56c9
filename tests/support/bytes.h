// Building and reading archive bytes in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "math/vector.h"
#include "persist/archive.h"
#include "persist/exceptions.h"
#include "persist/file.h"
#include "persist/object.h"

namespace brevoxa::testing {

using Bytes = std::vector<uint8_t>;

// The bytes a storing archive produces when write is run on it.
inline Bytes Store(const std::function<void(CArchive&)>& write) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
  }
  return file.Bytes();
}

// Runs read on a loading archive over the bytes.
inline void Load(const Bytes& bytes, const std::function<void(CArchive&)>& read) {
  CMemFile file(bytes);
  CArchive ar(&file, CArchive::load);
  read(ar);
}

// The record an object writes.
inline Bytes StoreOf(CObject& object) {
  return Store([&](CArchive& ar) { object.Serialize(ar); });
}

// Reads the object's record from the bytes; answers how many were left.
inline uint64_t LoadInto(CObject& object, const Bytes& bytes) {
  uint64_t left = 0;
  Load(bytes, [&](CArchive& ar) {
    object.Serialize(ar);
    left = ar.BytesRemaining();
  });
  return left;
}

// The cause a read over the bytes fails with, or none.
inline CArchiveException::Cause LoadCause(const Bytes& bytes, const std::function<void(CArchive&)>& read) {
  try {
    Load(bytes, read);
  } catch (const CArchiveException& e) {
    return e.cause();
  }
  return CArchiveException::none;
}

inline CArchiveException::Cause LoadCause(CObject& object, const Bytes& bytes) {
  return LoadCause(bytes, [&](CArchive& ar) { object.Serialize(ar); });
}

// A file's bytes; empty when it cannot be read.
inline Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Little-endian byte builder for hand-made streams.
class ByteWriter {
 public:
  ByteWriter& Byte(uint8_t v) { bytes_.push_back(v); return *this; }
  ByteWriter& Word(uint16_t v) { Byte(v & 0xFF); return Byte(v >> 8); }
  ByteWriter& Dword(uint32_t v) { Word(v & 0xFFFF); return Word(v >> 16); }
  // One byte at a time: GCC 12 warns falsely about the range insert.
  ByteWriter& Chars(const std::string& s) {
    for (char c : s) bytes_.push_back(static_cast<uint8_t>(c));
    return *this;
  }
  ByteWriter& Double(double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    Dword(static_cast<uint32_t>(bits));
    return Dword(static_cast<uint32_t>(bits >> 32));
  }
  ByteWriter& Vector(const CVector& v) { return Double(v.x).Double(v.y).Double(v.z); }
  // A class description: schema, name length, name.
  ByteWriter& Class(const std::string& name, uint16_t schema = 0) { Word(schema).Word(static_cast<uint16_t>(name.size())); return Chars(name); }
  const Bytes& bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

}  // namespace brevoxa::testing
