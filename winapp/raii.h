// Small owners for the Win32 and COM resources the programs use: one type per kind of handle,
// each closing what it holds exactly once.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace winapp {

template <class H, class Traits>
class Owned {
 public:
  Owned() = default;
  explicit Owned(H h) : h_(h) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  Owned& operator=(Owned&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Traits::Invalid()));
    return *this;
  }
  ~Owned() { reset(); }

  H get() const { return h_; }
  H release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(H h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  // For out-parameters: closes what is held and hands out the slot.
  H* put() {
    reset();
    return &h_;
  }

 private:
  H h_ = Traits::Invalid();
};

struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct FileTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct HandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
struct UrlCacheFindTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { FindCloseUrlCache(h); }
};
struct LocalTraits {
  static HLOCAL Invalid() { return nullptr; }
  static void Close(HLOCAL h) { LocalFree(h); }
};
struct MemDcTraits {
  static HDC Invalid() { return nullptr; }
  static void Close(HDC h) { DeleteDC(h); }
};
struct GdiTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};
struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};

using RegKey = Owned<HKEY, RegKeyTraits>;
using File = Owned<HANDLE, FileTraits>;
using Handle = Owned<HANDLE, HandleTraits>;
using FindHandle = Owned<HANDLE, FindTraits>;
using UrlCacheFind = Owned<HANDLE, UrlCacheFindTraits>;
using LocalBlock = Owned<HLOCAL, LocalTraits>;
using MemDc = Owned<HDC, MemDcTraits>;
using GdiObject = Owned<HGDIOBJ, GdiTraits>;
using Module = Owned<HMODULE, ModuleTraits>;
using Icon = Owned<HICON, IconTraits>;

struct MenuTraits {
  static HMENU Invalid() { return nullptr; }
  static void Close(HMENU h) { DestroyMenu(h); }
};
// A menu and the pop-ups attached to it, which go with it.
using Menu = Owned<HMENU, MenuTraits>;

// A critical section and the guard that holds it for a scope.
class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  class Guard {
   public:
    explicit Guard(CriticalSection& c) : c_(c) { EnterCriticalSection(&c_.section_); }
    ~Guard() { LeaveCriticalSection(&c_.section_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CriticalSection& c_;
  };

 private:
  CRITICAL_SECTION section_;
};

struct BstrTraits {
  static BSTR Invalid() { return nullptr; }
  static void Close(BSTR b) { SysFreeString(b); }
};
struct SafeArrayTraits {
  static SAFEARRAY* Invalid() { return nullptr; }
  static void Close(SAFEARRAY* a) { SafeArrayDestroy(a); }
};
using Bstr = Owned<BSTR, BstrTraits>;
using SafeArray = Owned<SAFEARRAY*, SafeArrayTraits>;

// A VARIANT, cleared when it goes. By-reference variants own nothing, so clearing them is safe.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant& o) : Variant() { VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)); }
  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
  Variant& operator=(const Variant& o) {
    if (this != &o) VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      VariantClear(&v_);
      v_ = o.v_;
      VariantInit(&o.v_);
    }
    return *this;
  }
  ~Variant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  const VARIANT& operator*() const { return v_; }
  // Empties the variant and hands out its slot, for out-parameters.
  VARIANT* put() {
    VariantClear(&v_);
    return &v_;
  }
  VARTYPE type() const { return V_VT(&v_); }

  static Variant Text(const wchar_t* text, UINT length) {
    Variant v;
    V_VT(&v.v_) = VT_BSTR;
    V_BSTR(&v.v_) = SysAllocStringLen(text, length);
    return v;
  }
  static Variant Flag(bool value) {
    Variant v;
    V_VT(&v.v_) = VT_BOOL;
    V_BOOL(&v.v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }
  // A by-reference argument pointing into `target`, which must outlive its use.
  static Variant RefTo(Variant& target) {
    Variant v;
    V_VT(&v.v_) = static_cast<VARTYPE>(target.type() | VT_BYREF);
    V_BYREF(&v.v_) = &target.v_.bstrVal;
    return v;
  }

 private:
  VARIANT v_;
};

// A DC from GetDC, given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND w) : w_(w), dc_(GetDC(w)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(w_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND w_;
  HDC dc_;
};

// BeginPaint / EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND w) : w_(w) { dc_ = BeginPaint(w, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(w_, &ps_); }
  HDC get() const { return dc_; }
  const RECT& area() const { return ps_.rcPaint; }

 private:
  HWND w_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// An object selected into a DC, put back on scope exit.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() {
    if (old_) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A COM interface pointer.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~ComPtr() { reset(); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  T* detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// COM for this thread, as a single-threaded apartment.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace winapp
