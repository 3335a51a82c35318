// Small owners for what the engine takes and must give back on every path:
// a lock on a global block, a global block made in a function, a C file.
#pragma once

#include <cstdio>

#include "platform/platform.h"

// Holds a global block locked for the lifetime of the guard.
class ScopedGlobalLock {
 public:
  explicit ScopedGlobalLock(HGLOBAL block)
      : block_(block), data_(block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr) {}
  ~ScopedGlobalLock() {
    if (data_) GlobalUnlock(block_);
  }
  ScopedGlobalLock(const ScopedGlobalLock&) = delete;
  ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;

  BYTE* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HGLOBAL block_;
  BYTE* data_;
};

// Frees a global block unless it was handed on with release().
class OwnedGlobal {
 public:
  OwnedGlobal() = default;
  explicit OwnedGlobal(HGLOBAL block) : block_(block) {}
  ~OwnedGlobal() {
    if (block_) GlobalFree(block_);
  }
  OwnedGlobal(const OwnedGlobal&) = delete;
  OwnedGlobal& operator=(const OwnedGlobal&) = delete;

  HGLOBAL get() const { return block_; }
  HGLOBAL release() {
    HGLOBAL block = block_;
    block_ = nullptr;
    return block;
  }
  void reset(HGLOBAL block = nullptr) {
    if (block_) GlobalFree(block_);
    block_ = block;
  }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  HGLOBAL block_ = nullptr;
};

// Closes a C stream unless it was handed on with release().
class ScopedFile {
 public:
  explicit ScopedFile(std::FILE* file) : file_(file) {}
  ~ScopedFile() {
    if (file_) std::fclose(file_);
  }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  std::FILE* get() const { return file_; }
  std::FILE* release() {
    std::FILE* file = file_;
    file_ = nullptr;
    return file;
  }
  explicit operator bool() const { return file_ != nullptr; }

 private:
  std::FILE* file_;
};
