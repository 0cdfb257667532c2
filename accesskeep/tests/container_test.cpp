// The control in control containers: Wine's ATL container window (AtlAxWin of atl.dll) hosting it
// by ProgID and by class identifier, calls by name through the hosted object, saving and loading,
// event sinks, OLE's own embedding helpers, and life cycles under every order of calls a container
// may choose, each ending with no object, window or window class of the library left behind.
#include <gtest/gtest.h>

#include <olectl.h>

#include <atomic>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "host.h"
#include "test_util.h"

using namespace akt;

namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

template <class F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The library as the process holds it, whether loaded by COM or by the test.
class Library {
 public:
  Library() : module_(LoadLibraryA(LibraryPath().c_str())) {}
  HMODULE get() const { return module_.get(); }
  HRESULT Call(const char* name) const {
    auto f = Export<EntryPoint>(module_.get(), name);
    return f ? f() : E_NOTIMPL;
  }
  HRESULT CanUnloadNow() const { return Call("DllCanUnloadNow"); }
  // A new control straight from the library's class factory.
  winapp::ComPtr<IOleObject> NewControl() const {
    winapp::ComPtr<IClassFactory> factory;
    winapp::ComPtr<IOleObject> control;
    auto get = Export<GetClassObject>(module_.get(), "DllGetClassObject");
    if (get && SUCCEEDED(get(ClsId, IID_IClassFactory, factory.put_void())))
      factory->CreateInstance(nullptr, IID_IOleObject, control.put_void());
    return control;
  }
  // Whether the library's window class is still registered.
  bool WindowClassRegistered() const {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(module_.get(), L"AccessKeep", &wc) != FALSE;
  }

 private:
  winapp::Module module_;
};

BOOL CALLBACK CollectFace(HWND w, LPARAM list) {
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  if (std::wstring(cls) == L"AccessKeep") reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
  return TRUE;
}

BOOL CALLBACK CollectFaces(HWND w, LPARAM list) {
  CollectFace(w, list);
  EnumChildWindows(w, CollectFace, list);  // all descendants
  return TRUE;
}

// The control's windows anywhere in this thread's windows.
std::vector<HWND> Faces() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), CollectFaces, reinterpret_cast<LPARAM>(&found));
  return found;
}

HWND NewFrame() {
  return CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 300, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

// --- Test doubles of a container's side ---------------------------------------------------------

// A COM object of the test that counts its references, so that a test can see them all returned.
class Counted {
 public:
  LONG refs = 1;
  ULONG Up() { return static_cast<ULONG>(++refs); }
  ULONG Down() { return static_cast<ULONG>(--refs); }
};

// An event sink for __AccessKeep: a dispatch interface with no members.
class Sink final : public IDispatch, public Counted {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_AccessKeepEvents)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
  ULONG STDMETHODCALLTYPE Release() override { return Down(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    ++calls;
    return S_OK;
  }
  int calls = 0;
};

// A container's site: client site, in-place site on a window of the test, and the ambient
// property UserMode (false while the host's form is being designed).
class Site final : public IOleClientSite, public IOleInPlaceSite, public IDispatch, public Counted {
 public:
  explicit Site(HWND parent, bool userMode = true) : parent_(parent), userMode(userMode) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
      *ppv = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
      *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(riid, IID_IDispatch))
      *ppv = static_cast<IDispatch*>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
  ULONG STDMETHODCALLTYPE Release() override { return Down(); }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** m) override {
    *m = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) override {
    *c = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override {
    ++shown;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* w) override {
    *w = parent_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
    ++active;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *pos = *clip = place;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    --active;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IDispatch: the ambient properties
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = userMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

  HWND parent_;
  bool userMode;
  RECT place{5, 6, 105, 56};
  int active = 0, shown = 0;
};

// --- Wine's ATL container --------------------------------------------------------------------------

using AxWinInit = BOOL(WINAPI*)();
using AxGetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
using AxGetHost = HRESULT(WINAPI*)(HWND, IUnknown**);
using AxCreateControl = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);

// An ATL of the system (atl.dll, or the one of a later compiler), loaded as a program that hosts
// controls loads it.
struct Atl {
  explicit Atl(const char* name) : dll(LoadLibraryA(name)) {}
  winapp::Module dll;
  AxWinInit WinInit = Export<AxWinInit>(dll.get(), "AtlAxWinInit");
  AxGetControl GetControl = Export<AxGetControl>(dll.get(), "AtlAxGetControl");
  AxGetHost GetHost = Export<AxGetHost>(dll.get(), "AtlAxGetHost");
  AxCreateControl CreateControl = Export<AxCreateControl>(dll.get(), "AtlAxCreateControl");
  bool Ready() const { return WinInit && GetControl && GetHost && CreateControl; }
};

template <class T>
winapp::ComPtr<T> As(IUnknown* object, REFIID iid) {
  winapp::ComPtr<T> p;
  if (object) object->QueryInterface(iid, p.put_void());
  return p;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  auto ua = As<IUnknown>(a, IID_IUnknown), ub = As<IUnknown>(b, IID_IUnknown);
  return ua && ua.get() == ub.get();
}

// Invoked by name, as late-bound hosts and scripts call: the identifier comes from GetIDsOfNames.
Outcome CallByName(IDispatch* d, const wchar_t* name, std::vector<Variant> args, HRESULT* lookup) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = DISPID_UNKNOWN;
  *lookup = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return Control(d).Invoke(id, std::move(args));
}

LONGLONG StreamPosition(IStream* s) {
  LARGE_INTEGER zero{};
  ULARGE_INTEGER at{};
  s->Seek(zero, STREAM_SEEK_CUR, &at);
  return static_cast<LONGLONG>(at.QuadPart);
}

class Container : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.get());
    ASSERT_EQ(library_.Call("DllRegisterServer"), S_OK);
  }
  void TearDown() override { library_.Call("DllUnregisterServer"); }

  winapp::ComApartment com_;
  Library library_;
  testutil::TempFolder dir_;
  std::wstring db_ = Wide(dir_ / "panel.dll");
};

TEST_F(Container, AtlAxWinHostsTheControlByProgIdAndByClassIdentifier) {
  wchar_t clsid[40] = {};
  StringFromGUID2(ClsId, clsid, 40);
  struct {
    const char* atl;
    const wchar_t* windowClass;
    std::wstring name;
  } const cases[] = {
      {"atl.dll", L"AtlAxWin", ProgIdW},
      {"atl.dll", L"AtlAxWin", clsid},
      {"atl100.dll", L"AtlAxWin100", ProgIdW},
      {"atl110.dll", L"AtlAxWin110", clsid},
  };

  // Each ATL stays loaded while its window class lives, and registers that class once.
  Atl atl60("atl.dll"), atl100("atl100.dll"), atl110("atl110.dll");
  for (Atl* atl : {&atl60, &atl100, &atl110}) {
    ASSERT_TRUE(atl->Ready());
    ASSERT_TRUE(atl->WinInit());
  }

  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string dll = cases[i].atl;
    Atl& atl = dll == "atl.dll" ? atl60 : dll == "atl100.dll" ? atl100 : atl110;
    const std::wstring& name = cases[i].name;
    HWND frame = NewFrame();
    ASSERT_TRUE(frame) << "case " << i;
    HWND box = CreateWindowExW(0, cases[i].windowClass, name.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, frame,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(box) << "case " << i;
    Sink sink;
    {
      winapp::ComPtr<IUnknown> hosted, host;
      ASSERT_EQ(atl.GetControl(box, hosted.put()), S_OK) << "case " << i;
      ASSERT_EQ(atl.GetHost(box, host.put()), S_OK) << "case " << i;

      // Sited by the container, and active in place in its window: hidden, as at run time.
      auto object = As<IOleObject>(hosted.get(), IID_IOleObject);
      ASSERT_TRUE(object) << "case " << i;
      winapp::ComPtr<IOleClientSite> site;
      ASSERT_EQ(object->GetClientSite(site.put()), S_OK) << "case " << i;
      EXPECT_TRUE(SameObject(site.get(), host.get())) << "case " << i;
      auto inPlace = As<IOleInPlaceObject>(hosted.get(), IID_IOleInPlaceObject);
      ASSERT_TRUE(inPlace) << "case " << i;
      HWND face = nullptr;
      ASSERT_EQ(inPlace->GetWindow(&face), S_OK) << "case " << i;
      EXPECT_EQ(GetParent(face), box) << "case " << i;
      EXPECT_FALSE(IsWindowVisible(face)) << "case " << i;
      EXPECT_EQ(Faces(), std::vector<HWND>{face}) << "case " << i;
      // It follows the container's window.
      MoveWindow(box, 0, 0, 300, 150, TRUE);
      RECT r{};
      GetClientRect(face, &r);
      EXPECT_EQ(r.right, 300) << "case " << i;
      EXPECT_EQ(r.bottom, 150) << "case " << i;
      SIZEL extent{};
      EXPECT_EQ(object->GetExtent(DVASPECT_CONTENT, &extent), S_OK) << "case " << i;
      EXPECT_GT(extent.cx, 0) << "case " << i;

      // Called by name through the hosted object's IDispatch.
      auto d = As<IDispatch>(hosted.get(), IID_IDispatch);
      ASSERT_TRUE(d) << "case " << i;
      HRESULT lookup = E_FAIL;
      Outcome created = CallByName(d.get(), L"CreateUser", {Str(L"ann"), Str(L"Secret1"), Str(db_), Bool(VARIANT_FALSE)},
                                   &lookup);
      EXPECT_EQ(lookup, S_OK) << "case " << i;
      EXPECT_EQ(created.Status(), i == 0 ? 0 : 6) << "case " << i;  // the second host finds ann there
      Outcome valid = CallByName(d.get(), L"validateuser", {Str(L"ann"), Str(L"Secret1"), Str(db_), Bool(VARIANT_FALSE)},
                                 &lookup);
      EXPECT_EQ(lookup, S_OK) << "case " << i;
      EXPECT_EQ(valid.Status(), 0) << "case " << i;
      EXPECT_EQ(CallByName(d.get(), L"CurrentUserName", {}, &lookup).Text(), L"ann") << "case " << i;
      EXPECT_EQ(lookup, S_OK) << "case " << i;
      CallByName(d.get(), L"NoSuchMethod", {}, &lookup);
      EXPECT_EQ(lookup, DISP_E_UNKNOWNNAME) << "case " << i;

      // Saved: nothing to write. Loaded from that: nothing read, whatever follows is left alone.
      auto persist = As<IPersistStreamInit>(hosted.get(), IID_IPersistStreamInit);
      ASSERT_TRUE(persist) << "case " << i;
      winapp::ComPtr<IStream> stream;
      ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
      EXPECT_EQ(persist->IsDirty(), S_FALSE) << "case " << i;
      EXPECT_EQ(persist->Save(stream.get(), TRUE), S_OK) << "case " << i;
      EXPECT_EQ(StreamPosition(stream.get()), 0) << "case " << i;
      ULARGE_INTEGER most{};
      EXPECT_EQ(persist->GetSizeMax(&most), S_OK) << "case " << i;
      EXPECT_EQ(most.QuadPart, 0u) << "case " << i;
      const char next[] = "next";
      stream->Write(next, sizeof next, nullptr);
      LARGE_INTEGER start{};
      stream->Seek(start, STREAM_SEEK_SET, nullptr);
      EXPECT_EQ(persist->Load(stream.get()), S_OK) << "case " << i;
      EXPECT_EQ(StreamPosition(stream.get()), 0) << "case " << i;
      // A second container window creates its control from the saved state.
      HWND second = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 120, 100, 50, frame, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
      winapp::ComPtr<IUnknown> secondHost, secondControl;
      EXPECT_EQ(atl.CreateControl(name.c_str(), second, stream.get(), secondHost.put()), S_OK) << "case " << i;
      EXPECT_EQ(StreamPosition(stream.get()), 0) << "case " << i;
      ASSERT_EQ(atl.GetControl(second, secondControl.put()), S_OK) << "case " << i;
      auto reloadedDispatch = As<IDispatch>(secondControl.get(), IID_IDispatch);
      Control reloaded(reloadedDispatch.get());
      EXPECT_EQ(reloaded.CurrentUserName(), L"Not Logged In") << "case " << i;  // state of its own
      EXPECT_EQ(Faces().size(), 2u) << "case " << i;

      // A sink on the event interface, and away again.
      auto points = As<IConnectionPointContainer>(hosted.get(), IID_IConnectionPointContainer);
      ASSERT_TRUE(points) << "case " << i;
      winapp::ComPtr<IConnectionPoint> point;
      ASSERT_EQ(points->FindConnectionPoint(IID_AccessKeepEvents, point.put()), S_OK) << "case " << i;
      DWORD cookie = 0;
      ASSERT_EQ(point->Advise(static_cast<IDispatch*>(&sink), &cookie), S_OK) << "case " << i;
      EXPECT_NE(cookie, 0u) << "case " << i;
      EXPECT_GT(sink.refs, 1) << "case " << i;
      EXPECT_EQ(point->Unadvise(cookie), S_OK) << "case " << i;
      EXPECT_EQ(sink.refs, 1) << "case " << i;
      EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION) << "case " << i;
      // Connected again and left connected: the container's going takes it away.
      ASSERT_EQ(point->Advise(static_cast<IDispatch*>(&sink), &cookie), S_OK) << "case " << i;
    }
    EXPECT_EQ(library_.CanUnloadNow(), S_FALSE) << "case " << i;
    DestroyWindow(frame);
    EXPECT_EQ(sink.refs, 1) << "case " << i;
    EXPECT_EQ(sink.calls, 0) << "case " << i;  // no events
    EXPECT_TRUE(Faces().empty()) << "case " << i;
    EXPECT_EQ(library_.CanUnloadNow(), S_OK) << "case " << i;
    EXPECT_FALSE(library_.WindowClassRegistered()) << "case " << i;
  }
  for (const wchar_t* windowClass : {L"AtlAxWin", L"AtlAxWinLic", L"AtlAxWin100", L"AtlAxWinLic100", L"AtlAxWin110",
                                     L"AtlAxWinLic110"})
    UnregisterClassW(windowClass, GetModuleHandleW(nullptr));
}

// --- Life cycles -------------------------------------------------------------------------------------

enum Step {
  SiteIt,        // SetClientSite(site)
  Unsite,        // SetClientSite(NULL)
  Activate,      // DoVerb(OLEIVERB_INPLACEACTIVATE) with the site set before
  ActivateLost,  // the same once the container's window is gone: refused, nothing left active
  ActivateHere,  // DoVerb(OLEIVERB_SHOW) naming the site in the call alone
  Deactivate,    // IOleInPlaceObject::InPlaceDeactivate
  CloseIt,       // Close(OLECLOSE_NOSAVE)
  CloseSaving,   // Close(OLECLOSE_SAVEIFDIRTY)
  Connect,       // a sink on the event interface, never taken away
  Watch,         // IOleObject::Advise and IViewObject::SetAdvise with the same sink, never undone
  Enumerate,     // an enumerator of connection points, held until the end
  KillParent,    // the container destroys its window under the control
};

TEST(LifeCycle, AnyOrderOfSitingClosingAndReleasingLeavesNothingBehind) {
  winapp::ComApartment com;
  Library library;
  ASSERT_TRUE(library.get());
  const std::vector<Step> orders[] = {
      {},
      {SiteIt},
      {SiteIt, Activate},
      {SiteIt, Activate, CloseIt},
      {SiteIt, Activate, CloseIt, Unsite},
      {SiteIt, Activate, Unsite, CloseIt},
      {SiteIt, Activate, Unsite},
      {SiteIt, Activate, Deactivate, Activate, CloseSaving, CloseIt},
      {SiteIt, CloseIt, Activate},
      {ActivateHere},
      {ActivateHere, SiteIt, Unsite},
      {SiteIt, Activate, KillParent},
      {SiteIt, Activate, KillParent, CloseIt, Unsite},
      {SiteIt, Activate, KillParent, ActivateLost},
      {SiteIt, Connect, Watch, Activate},
      {Connect, Watch, Enumerate, CloseIt},
      {SiteIt, SiteIt, Activate, Activate, Unsite, Unsite},
  };
  for (size_t i = 0; i < std::size(orders); ++i) {
    HWND parent = NewFrame();
    ASSERT_TRUE(parent) << "case " << i;
    Site site(parent);
    Sink sink;
    class Watcher final : public IAdviseSink, public Counted {
     public:
      HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAdviseSink)) {
          *ppv = static_cast<IAdviseSink*>(this);
          AddRef();
          return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
      ULONG STDMETHODCALLTYPE Release() override { return Down(); }
      void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
      void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
      void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
      void STDMETHODCALLTYPE OnSave() override {}
      void STDMETHODCALLTYPE OnClose() override { ++closed; }
      int closed = 0;
    } watcher;
    winapp::ComPtr<IEnumConnectionPoints> enumerator;
    {
      winapp::ComPtr<IOleObject> control = library.NewControl();
      ASSERT_TRUE(control) << "case " << i;
      auto inPlace = As<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject);
      for (Step step : orders[i]) {
        switch (step) {
          case SiteIt: EXPECT_EQ(control->SetClientSite(&site), S_OK) << "case " << i; break;
          case Unsite: EXPECT_EQ(control->SetClientSite(nullptr), S_OK) << "case " << i; break;
          case Activate:
          case ActivateHere: {
            const bool here = step == ActivateHere;
            EXPECT_EQ(control->DoVerb(here ? OLEIVERB_SHOW : OLEIVERB_INPLACEACTIVATE, nullptr, here ? &site : nullptr,
                                      0, parent, nullptr),
                      S_OK)
                << "case " << i;
            HWND face = nullptr;
            EXPECT_EQ(inPlace->GetWindow(&face), S_OK) << "case " << i;
            EXPECT_EQ(GetParent(face), parent) << "case " << i;
            EXPECT_EQ(site.active, 1) << "case " << i;
            break;
          }
          case ActivateLost: {
            EXPECT_TRUE(FAILED(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, parent, nullptr)))
                << "case " << i;
            HWND face = nullptr;
            EXPECT_EQ(inPlace->GetWindow(&face), E_FAIL) << "case " << i;
            EXPECT_EQ(site.active, 0) << "case " << i;
            break;
          }
          case Deactivate: EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK) << "case " << i; break;
          case CloseIt:
          case CloseSaving:
            EXPECT_EQ(control->Close(step == CloseIt ? OLECLOSE_NOSAVE : OLECLOSE_SAVEIFDIRTY), S_OK) << "case " << i;
            EXPECT_EQ(site.active, 0) << "case " << i;
            EXPECT_TRUE(Faces().empty()) << "case " << i;
            break;
          case Connect: {
            auto points = As<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
            winapp::ComPtr<IConnectionPoint> point;
            DWORD cookie = 0;
            ASSERT_EQ(points->FindConnectionPoint(IID_AccessKeepEvents, point.put()), S_OK) << "case " << i;
            EXPECT_EQ(point->Advise(static_cast<IDispatch*>(&sink), &cookie), S_OK) << "case " << i;
            break;
          }
          case Watch: {
            DWORD connection = 0;
            EXPECT_EQ(control->Advise(&watcher, &connection), S_OK) << "case " << i;
            auto view = As<IViewObject2>(control.get(), IID_IViewObject2);
            EXPECT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &watcher), S_OK) << "case " << i;
            break;
          }
          case Enumerate: {
            auto points = As<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
            EXPECT_EQ(points->EnumConnectionPoints(enumerator.put()), S_OK) << "case " << i;
            break;
          }
          case KillParent: {
            DestroyWindow(parent);
            HWND face = nullptr;
            EXPECT_EQ(inPlace->GetWindow(&face), E_FAIL) << "case " << i;
            break;
          }
        }
      }
    }
    // The enumerator keeps the control, and with it the library, until it goes too.
    if (enumerator) {
      EXPECT_EQ(library.CanUnloadNow(), S_FALSE) << "case " << i;
      IConnectionPoint* point = nullptr;
      ULONG got = 0;
      EXPECT_EQ(enumerator->Next(1, &point, &got), S_OK) << "case " << i;
      EXPECT_EQ(got, 1u) << "case " << i;
      IID iid{};
      if (point) {
        point->GetConnectionInterface(&iid);
        point->Release();
      }
      EXPECT_TRUE(IsEqualIID(iid, IID_AccessKeepEvents)) << "case " << i;
      EXPECT_EQ(enumerator->Next(1, &point, &got), S_FALSE) << "case " << i;
      enumerator.reset();
    }
    EXPECT_EQ(site.refs, 1) << "case " << i;
    EXPECT_EQ(site.active, 0) << "case " << i;
    EXPECT_EQ(sink.refs, 1) << "case " << i;
    EXPECT_EQ(watcher.refs, 1) << "case " << i;
    EXPECT_TRUE(Faces().empty()) << "case " << i;
    EXPECT_EQ(library.CanUnloadNow(), S_OK) << "case " << i;
    EXPECT_FALSE(library.WindowClassRegistered()) << "case " << i;
    DestroyWindow(parent);
  }
}

// The control is apartment-threaded: a host may place controls from several threads at once, and
// they share the one window class the library registers and takes away.
TEST(LifeCycle, ControlsOnSeveralThreadsAtOnce) {
  Library library;
  std::atomic<int> failures{0};
  auto placeAndRemove = [&library, &failures] {
    winapp::ComApartment com;
    HWND parent = NewFrame();
    Site site(parent, /*userMode=*/false);
    for (int round = 0; round < 40; ++round) {
      winapp::ComPtr<IOleObject> control = library.NewControl();
      HWND face = nullptr;
      auto inPlace = As<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject);
      if (!control || !inPlace || control->SetClientSite(&site) != S_OK ||
          control->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, parent, nullptr) != S_OK ||
          inPlace->GetWindow(&face) != S_OK || !IsWindowVisible(face) || control->Close(OLECLOSE_NOSAVE) != S_OK ||
          control->SetClientSite(nullptr) != S_OK)
        ++failures;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    if (site.refs != 1 || site.active != 0) ++failures;
    DestroyWindow(parent);
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) threads.emplace_back(placeAndRemove);
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
  EXPECT_FALSE(library.WindowClassRegistered());
}

// --- The face at design time, the extent, what a container reads first ------------------------------

// The logo from the library's resources, as the control draws it.
struct Logo {
  winapp::Module data{LoadLibraryExA(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
  winapp::GdiObject bitmap{LoadImageA(data.get(), "ABOUTLOGO", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)};
  BITMAP size() const {
    BITMAP bm{};
    GetObjectW(bitmap.get(), sizeof bm, &bm);
    return bm;
  }
  // Pixels of `dc` at (x, y) onwards that differ from the logo's.
  int Differing(HDC dc, int x, int y) const {
    winapp::MemDc source(CreateCompatibleDC(nullptr));
    winapp::Selected onLogo(source.get(), bitmap.get());
    const BITMAP bm = size();
    int differing = 0;
    for (int row = 0; row < bm.bmHeight; ++row)
      for (int column = 0; column < bm.bmWidth; ++column)
        differing += GetPixel(dc, x + column, y + row) != GetPixel(source.get(), column, row);
    return differing;
  }
};

TEST(Face, ShownWhileDesigningHiddenWhileRunningAndDrawnAsTheLogo) {
  winapp::ComApartment com;
  Library library;
  Logo logo;
  const BITMAP bm = logo.size();
  ASSERT_GT(bm.bmWidth, 0);
  HWND parent = NewFrame();
  Site site(parent, /*userMode=*/false);
  site.place = {5, 6, 5 + bm.bmWidth, 6 + bm.bmHeight};
  {
    winapp::ComPtr<IOleObject> control = library.NewControl();
    ASSERT_TRUE(control);
    ASSERT_EQ(control->SetClientSite(&site), S_OK);
    ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, parent, nullptr), S_OK);
    auto inPlace = As<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject);
    HWND face = nullptr;
    ASSERT_EQ(inPlace->GetWindow(&face), S_OK);
    EXPECT_TRUE(IsWindowVisible(face));
    EXPECT_EQ(site.shown, 1);
    RECT r{};
    GetWindowRect(face, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_TRUE(EqualRect(&r, &site.place));
    // The window shows the logo.
    UpdateWindow(face);
    {
      winapp::WindowDc onScreen(face);
      EXPECT_EQ(logo.Differing(onScreen.get(), 0, 0), 0);
    }
    // The form runs: the control hides; back to design, it shows again.
    auto ambient = As<IOleControl>(control.get(), IID_IOleControl);
    site.userMode = true;
    EXPECT_EQ(ambient->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE), S_OK);
    EXPECT_FALSE(IsWindowVisible(face));
    site.userMode = false;
    EXPECT_EQ(ambient->OnAmbientPropertyChange(DISPID_UNKNOWN), S_OK);
    EXPECT_TRUE(IsWindowVisible(face));
    CONTROLINFO info{};
    info.cb = sizeof info;
    EXPECT_EQ(ambient->GetControlInfo(&info), S_OK);
    EXPECT_EQ(info.cAccel, 0);

    // The extent: the logo's size to begin with, then what the container makes it.
    winapp::WindowDc screen(nullptr);
    const LONG dpi = GetDeviceCaps(screen.get(), LOGPIXELSX);
    SIZEL extent{};
    auto view = As<IViewObject2>(control.get(), IID_IViewObject2);
    ASSERT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
    EXPECT_EQ(extent.cx, MulDiv(bm.bmWidth, 2540, dpi));
    SIZEL wanted{2000, 1000};
    EXPECT_EQ(control->SetExtent(DVASPECT_CONTENT, &wanted), S_OK);
    EXPECT_EQ(control->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, 2000);
    EXPECT_EQ(extent.cy, 1000);
    EXPECT_EQ(control->SetExtent(DVASPECT_ICON, &wanted), DV_E_DVASPECT);

    // Drawn by the container at the logo's own size, the face is the logo, pixel for pixel.
    winapp::MemDc drawn(CreateCompatibleDC(screen.get()));
    winapp::GdiObject canvas(CreateCompatibleBitmap(screen.get(), bm.bmWidth + 20, bm.bmHeight + 20));
    winapp::Selected onCanvas(drawn.get(), canvas.get());
    PatBlt(drawn.get(), 0, 0, bm.bmWidth + 20, bm.bmHeight + 20, WHITENESS);
    const RECTL bounds{10, 10, 10 + bm.bmWidth, 10 + bm.bmHeight};
    ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawn.get(), &bounds, nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(logo.Differing(drawn.get(), 10, 10), 0);
    EXPECT_EQ(GetPixel(drawn.get(), 5, 5), RGB(255, 255, 255));  // nothing outside the bounds
    // Drawn into a metafile, as containers print and keep pictures of their controls.
    HDC recording = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(recording);
    const RECTL atOrigin{0, 0, bm.bmWidth, bm.bmHeight};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, recording, &atOrigin, nullptr, nullptr, 0),
              S_OK);
    HENHMETAFILE picture = CloseEnhMetaFile(recording);
    ASSERT_TRUE(picture);
    PatBlt(drawn.get(), 0, 0, bm.bmWidth + 20, bm.bmHeight + 20, WHITENESS);
    const RECT played{10, 10, 10 + bm.bmWidth, 10 + bm.bmHeight};
    EXPECT_TRUE(PlayEnhMetaFile(drawn.get(), picture, &played));
    DeleteEnhMetaFile(picture);
    // The metafile's frame rounds the size by a pixel, so the playback is compared loosely: the
    // logo, not a blank (which would differ in three quarters of its pixels).
    EXPECT_LT(logo.Differing(drawn.get(), 10, 10), bm.bmWidth * bm.bmHeight / 3);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawn.get(), nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, drawn.get(), &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
  }
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
  DestroyWindow(parent);
}

TEST(Verbs, ActivateHideAndRefuseWhatTheControlHasNot) {
  winapp::ComApartment com;
  Library library;
  HWND parent = NewFrame();
  Site site(parent, /*userMode=*/false);
  struct {
    LONG verb;
    HRESULT result;
    bool visibleAfter;
  } const cases[] = {
      {OLEIVERB_INPLACEACTIVATE, S_OK, true},
      {OLEIVERB_HIDE, S_OK, false},
      {OLEIVERB_SHOW, S_OK, true},
      {OLEIVERB_OPEN, E_NOTIMPL, true},
      {OLEIVERB_PROPERTIES, E_NOTIMPL, true},
      {OLEIVERB_HIDE, S_OK, false},
      {OLEIVERB_UIACTIVATE, S_OK, true},
      {OLEIVERB_DISCARDUNDOSTATE, S_OK, true},
      {7, OLEOBJ_S_INVALIDVERB, true},  // a verb of its own it does not have: the primary one
      {OLEIVERB_PRIMARY, S_OK, true},
  };
  {
    winapp::ComPtr<IOleObject> control = library.NewControl();
    ASSERT_TRUE(control);
    ASSERT_EQ(control->DoVerb(OLEIVERB_SHOW, nullptr, nullptr, 0, parent, nullptr), E_UNEXPECTED);  // no site
    ASSERT_EQ(control->SetClientSite(&site), S_OK);
    auto inPlace = As<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject);
    for (size_t i = 0; i < std::size(cases); ++i) {
      EXPECT_EQ(control->DoVerb(cases[i].verb, nullptr, nullptr, 0, parent, nullptr), cases[i].result) << "case " << i;
      HWND face = nullptr;
      EXPECT_EQ(inPlace->GetWindow(&face), S_OK) << "case " << i;
      EXPECT_EQ(IsWindowVisible(face) != FALSE, cases[i].visibleAfter) << "case " << i;
      EXPECT_EQ(site.active, 1) << "case " << i;
    }
    winapp::ComPtr<IEnumOLEVERB> verbs;
    EXPECT_EQ(control->EnumVerbs(verbs.put()), OLEOBJ_E_NOVERBS);
    EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(control->Close(99), E_INVALIDARG);
  }
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(site.active, 0);
  EXPECT_EQ(library.CanUnloadNow(), S_OK);
  DestroyWindow(parent);
}

TEST_F(Container, QuickActivationMiscStatusAndClassInformation) {
  HWND parent = NewFrame();
  Site site(parent);
  Sink sink;
  {
    winapp::ComPtr<IOleObject> control = library_.NewControl();
    ASSERT_TRUE(control);
    // What the container reads before it places the control, from the object and the registry alike.
    DWORD misc = 0, registered = 0;
    EXPECT_EQ(control->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_TRUE(misc & OLEMISC_INVISIBLEATRUNTIME);
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    EXPECT_EQ(OleRegGetMiscStatus(ClsId, DVASPECT_CONTENT, &registered), S_OK);
    EXPECT_EQ(registered, misc);
    CLSID clsid{};
    EXPECT_EQ(control->GetUserClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, ClsId));
    LPOLESTR type = nullptr;
    EXPECT_EQ(control->GetUserType(USERCLASSTYPE_FULL, &type), S_OK);
    EXPECT_EQ(std::wstring(type ? type : L""), ProgIdW);
    CoTaskMemFree(type);
    auto info = As<IProvideClassInfo2>(control.get(), IID_IProvideClassInfo2);
    GUID source{};
    ASSERT_TRUE(info);
    EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualIID(source, IID_AccessKeepEvents));
    EXPECT_EQ(info->GetGUID(12345, &source), E_INVALIDARG);

    // Quick activation: site, user mode and event sink in one call.
    auto quick = As<IQuickActivate>(control.get(), IID_IQuickActivate);
    ASSERT_TRUE(quick);
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = &site;
    container.pUnkEventSink = static_cast<IDispatch*>(&sink);
    container.dwAmbientFlags = QACONTAINER_USERMODE;
    QACONTROL answer{};
    answer.cbSize = sizeof answer;
    ASSERT_EQ(quick->QuickActivate(&container, &answer), S_OK);
    EXPECT_EQ(answer.dwMiscStatus, misc);
    EXPECT_NE(answer.dwEventCookie, 0u);
    winapp::ComPtr<IOleClientSite> sited;
    EXPECT_EQ(control->GetClientSite(sited.put()), S_OK);
    EXPECT_EQ(sited.get(), static_cast<IOleClientSite*>(&site));
    sited.reset();
    auto points = As<IConnectionPointContainer>(control.get(), IID_IConnectionPointContainer);
    winapp::ComPtr<IConnectionPoint> point;
    ASSERT_EQ(points->FindConnectionPoint(IID_AccessKeepEvents, point.put()), S_OK);
    winapp::ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(connections.put()), S_OK);
    CONNECTDATA data[2]{};
    ULONG got = 0;
    EXPECT_EQ(connections->Next(2, data, &got), S_FALSE);
    ASSERT_EQ(got, 1u);
    EXPECT_EQ(data[0].dwCookie, answer.dwEventCookie);
    data[0].pUnk->Release();
    // Walked again: skipped past, reset, and a copy that goes on where the original stands.
    EXPECT_EQ(connections->Reset(), S_OK);
    EXPECT_EQ(connections->Skip(2), S_FALSE);
    EXPECT_EQ(connections->Next(1, data, &got), S_FALSE);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(connections->Reset(), S_OK);
    winapp::ComPtr<IEnumConnections> copy;
    ASSERT_EQ(connections->Clone(copy.put()), S_OK);
    connections.reset();
    EXPECT_EQ(copy->Next(1, data, nullptr), S_OK);
    EXPECT_EQ(data[0].dwCookie, answer.dwEventCookie);
    data[0].pUnk->Release();
    copy.reset();
    EXPECT_EQ(point->Unadvise(answer.dwEventCookie), S_OK);
    winapp::ComPtr<IConnectionPoint> none;
    EXPECT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, none.put()), CONNECT_E_NOCONNECTION);
    QACONTROL tooSmall{};
    tooSmall.cbSize = 4;
    EXPECT_EQ(quick->QuickActivate(&container, &tooSmall), E_INVALIDARG);
    EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
  }
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(sink.refs, 1);
  EXPECT_EQ(library_.CanUnloadNow(), S_OK);
  DestroyWindow(parent);
}

// OLE's own helpers for containers that embed objects in compound files: created into a storage,
// saved, loaded back by the class identifier the storage names, and property bags alike.
TEST_F(Container, OleEmbeddingSavesAndLoadsThroughStorages) {
  winapp::ComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfile(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DELETEONRELEASE, 0,
                             storage.put()),
            S_OK);
  HWND parent = NewFrame();
  Site site(parent);
  {
    winapp::ComPtr<IOleObject> created;
    ASSERT_EQ(OleCreate(ClsId, IID_IOleObject, OLERENDER_NONE, nullptr, &site, storage.get(), created.put_void()),
              S_OK);
    auto persist = As<IPersistStorage>(created.get(), IID_IPersistStorage);
    ASSERT_TRUE(persist);
    EXPECT_EQ(OleSave(persist.get(), storage.get(), TRUE), S_OK);
    EXPECT_EQ(persist->SaveCompleted(nullptr), S_OK);
    EXPECT_EQ(created->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
    EXPECT_EQ(created->SetClientSite(nullptr), S_OK);
  }
  {
    winapp::ComPtr<IOleObject> loaded;
    ASSERT_EQ(OleLoad(storage.get(), IID_IOleObject, &site, loaded.put_void()), S_OK);
    auto dispatch = As<IDispatch>(loaded.get(), IID_IDispatch);
    Control c(dispatch.get());
    EXPECT_EQ(c.CreateUser(L"bob", L"Secret1", db_).Status(), 0);
    EXPECT_EQ(loaded->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, parent, nullptr), S_OK);
    EXPECT_EQ(site.active, 1);
    EXPECT_EQ(loaded->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(loaded->SetClientSite(nullptr), S_OK);

    // A property bag gets nothing written and gives nothing to read.
    class Bag final : public IPropertyBag, public Counted {
     public:
      HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
          *ppv = static_cast<IPropertyBag*>(this);
          AddRef();
          return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      ULONG STDMETHODCALLTYPE AddRef() override { return Up(); }
      ULONG STDMETHODCALLTYPE Release() override { return Down(); }
      HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT*, IErrorLog*) override {
        ++reads;
        return E_INVALIDARG;
      }
      HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override {
        ++writes;
        return S_OK;
      }
      int reads = 0, writes = 0;
    } bag;
    auto bagged = As<IPersistPropertyBag>(loaded.get(), IID_IPersistPropertyBag);
    ASSERT_TRUE(bagged);
    EXPECT_EQ(bagged->InitNew(), S_OK);
    EXPECT_EQ(bagged->Save(&bag, TRUE, TRUE), S_OK);
    EXPECT_EQ(bagged->Load(&bag, nullptr), S_OK);
    EXPECT_EQ(bag.writes, 0);
    EXPECT_EQ(bag.reads, 0);
    EXPECT_EQ(bag.refs, 1);
  }
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(site.active, 0);
  DestroyWindow(parent);
}

}  // namespace
