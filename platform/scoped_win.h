// Small owners for the Win32 handles a function takes and must give back on every
// path (Windows build only): a window's device context, a memory device context,
// a GDI object, an object selected into a device context, a file handle, COM for one
// function and a COM interface.
#pragma once

#include "platform/platform.h"

#include <objbase.h>

// A window's device context from GetDC, released with ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A memory device context compatible with another, deleted with DeleteDC (a DC made
// by CreateCompatibleDC is not a GDI object: DeleteObject would leak it).
class ScopedMemoryDC {
 public:
  explicit ScopedMemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ~ScopedMemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  ScopedMemoryDC(const ScopedMemoryDC&) = delete;
  ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;

  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A GDI object (bitmap, brush, font, pen) deleted with DeleteObject. It must no
// longer be selected into a device context when the owner goes.
template <typename Handle>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(Handle object) : object_(object) {}
  ~ScopedGdiObject() {
    if (object_) DeleteObject(object_);
  }
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;

  Handle get() const { return object_; }
  void reset(Handle object) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }

 private:
  Handle object_ = nullptr;
};

// Selects an object into a device context and puts the previous one back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

  bool ok() const { return previous_ && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A file handle from CreateFileA, closed with CloseHandle. CreateFileA fails with
// INVALID_HANDLE_VALUE, not null, so both count as no handle.
class ScopedFileHandle {
 public:
  explicit ScopedFileHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedFileHandle() { Close(); }
  ScopedFileHandle(const ScopedFileHandle&) = delete;
  ScopedFileHandle& operator=(const ScopedFileHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool ok() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
  void Close() {
    if (ok()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

// COM for the length of one function.
class ScopedCom {
 public:
  ScopedCom() : result_(CoInitialize(nullptr)) {}
  ~ScopedCom() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ScopedCom(const ScopedCom&) = delete;
  ScopedCom& operator=(const ScopedCom&) = delete;
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

// Releases a COM interface at the end of its scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};
