// The control object: the dual interface _AccessKeep with its twelve methods, the logged-in
// user, and the account and settings operations on the user database (control.cpp); and the
// interfaces by which a control container creates, sites, activates, draws, saves and releases
// it (embedding.cpp).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>

#include "accesskeep_h.h"
#include "events.h"
#include "raii.h"

namespace accesskeep {

class AccessKeep final : public _AccessKeep,
                         public IProvideClassInfo2,
                         public ISupportErrorInfo,
                         public IOleObject,
                         public IOleInPlaceObject,
                         public IOleInPlaceActiveObject,
                         public IOleControl,
                         public IViewObject2,
                         public IPersistStreamInit,
                         public IPersistPropertyBag,
                         public IPersistStorage,
                         public IConnectionPointContainer,
                         public IQuickActivate {
 public:
  static HRESULT Create(REFIID riid, void** ppv);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, through the type library
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // _AccessKeep
  HRESULT STDMETHODCALLTYPE StoreSetting(BSTR Username, BSTR Setting, BSTR Value, BSTR INIFile,
                                         LONG* Status) override;
  HRESULT STDMETHODCALLTYPE RetrieveSetting(BSTR Username, BSTR Setting, BSTR INIFile, BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE CreateUser(BSTR Username, BSTR Password, BSTR INIFile, VARIANT_BOOL Notify,
                                       LONG* Status) override;
  HRESULT STDMETHODCALLTYPE ValidateUser(BSTR Username, BSTR Password, BSTR INIFile, VARIANT_BOOL Notify,
                                         LONG* Status) override;
  HRESULT STDMETHODCALLTYPE About() override;
  HRESULT STDMETHODCALLTYPE CurrentUserName(BSTR* Name) override;
  HRESULT STDMETHODCALLTYPE GetStatus(BSTR* Status) override;
  HRESULT STDMETHODCALLTYPE CurrentPassword(BSTR* Password) override;
  HRESULT STDMETHODCALLTYPE Logout(VARIANT* Result) override;
  HRESULT STDMETHODCALLTYPE ChangePassword(BSTR Username, BSTR* Password, BSTR* INIFile, VARIANT_BOOL* Notify,
                                           LONG* Status) override;
  HRESULT STDMETHODCALLTYPE KillUser(BSTR Username, BSTR INIFile, LONG* Status) override;
  HRESULT STDMETHODCALLTYPE UserArray(BSTR INIFile, VARIANT* Users) override;

  // IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;
  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index, HWND parent,
                                   LPCRECT position) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, for both IOleInPlaceObject and IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;
  // IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                 HDC targetDc, HDC dc, LPCRECTL bounds, LPCRECTL metafileBounds,
                                 BOOL(STDMETHODCALLTYPE* keepOn)(ULONG_PTR), ULONG_PTR keepOnArgument) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                        HDC targetDc, LOGPALETTE** colours) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, SIZEL* size) override;

  // IPersist, for the three ways of saving
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  // IPersistStreamInit (IsDirty also for IPersistStorage, InitNew also for IPersistPropertyBag)
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  // IPersistPropertyBag
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
  // IPersistStorage
  HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
  HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** point) override;

  // IQuickActivate
  HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
  HRESULT STDMETHODCALLTYPE SetContentExtent(SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetContentExtent(SIZEL* size) override;

  // The control's window went away with its parent's.
  void WindowDestroyed() { window_ = nullptr; }

 private:
  AccessKeep();
  ~AccessKeep();
  // Lets go of the container before the object goes (the last Release).
  void Disconnect();
  HRESULT ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position);
  void ReadAmbientUserMode();
  void ShowAsTheModeWants();

  long DoCreateUser(const std::wstring& Username, const std::wstring& Password, const std::wstring& INIFile,
                    bool Notify);
  long DoValidateUser(const std::wstring& Username, const std::wstring& Password, const std::wstring& INIFile,
                      bool Notify);
  long DoChangePassword(const std::wstring& Username, const std::wstring& Password, const std::wstring& INIFile,
                        bool Notify);
  long DoKillUser(const std::wstring& Username, const std::wstring& INIFile);
  long DoStoreSetting(const std::wstring& Username, const std::wstring& Setting, const std::wstring& Value,
                      const std::wstring& INIFile);
  std::wstring DoRetrieveSetting(const std::wstring& Username, const std::wstring& Setting,
                                 const std::wstring& INIFile);
  SAFEARRAY* DoUserArray(const std::wstring& INIFile);

  LONG refs_ = 1;
  winapp::ComPtr<ITypeInfo> typeInfo_;

  // What the container gave: its site, its in-place site while active, who listens.
  winapp::ComPtr<IOleClientSite> clientSite_;
  winapp::ComPtr<IOleInPlaceSite> inPlaceSite_;
  winapp::ComPtr<IOleAdviseHolder> adviseHolder_;
  winapp::ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0, viewFlags_ = 0;
  EventPoint events_{this};
  // The control's own window while it is active in place: hidden at run time, showing the
  // control's face while the host's form is being designed (ambient UserMode false).
  HWND window_ = nullptr;
  bool userMode_ = true;
  // Until a container sets it, the logo's own size (read when first asked for, not at creation).
  SIZEL extent_{};
  bool extentSet_ = false;
  // Who is logged in; both empty while nobody is.
  std::wstring LoggedInName, LoggedInPassword;
};

}  // namespace accesskeep
