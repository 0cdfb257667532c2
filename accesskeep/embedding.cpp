// The control in its container: sited, activated in place with a window of its own (hidden while
// the host runs), drawn, saved and let go, by whatever order of calls the container chooses. The
// control keeps no properties, so saving writes nothing and loading reads nothing; it raises no
// events, but keeps the sinks a container connects.
#include <olectl.h>

#include <utility>

#include "accesskeep_ids.h"
#include "control.h"
#include "face.h"
#include "registration.h"

namespace accesskeep {

namespace {

template <class T>
void Hold(winapp::ComPtr<T>& slot, T* p) {
  if (p) p->AddRef();
  *slot.put() = p;
}

template <class T>
HRESULT HandOut(T* p, T** out) {
  if (!out) return E_POINTER;
  *out = p;
  if (p) p->AddRef();
  return S_OK;
}

// The aspects the control draws: its content, the same on paper and in a thumbnail.
bool Drawable(DWORD aspect) {
  return aspect == DVASPECT_CONTENT || aspect == DVASPECT_DOCPRINT || aspect == DVASPECT_THUMBNAIL;
}

}  // namespace

// --- Siting and the container's ambient properties --------------------------------------------

void AccessKeep::ReadAmbientUserMode() {
  // A container without ambient properties runs its forms: user mode.
  userMode_ = true;
  if (!clientSite_) return;
  winapp::ComPtr<IDispatch> ambient;
  if (FAILED(clientSite_->QueryInterface(IID_IDispatch, ambient.put_void()))) return;
  DISPPARAMS none{};
  winapp::Variant value;
  if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                value.get(), nullptr, nullptr)) &&
      SUCCEEDED(VariantChangeType(value.get(), value.get(), 0, VT_BOOL)))
    userMode_ = V_BOOL(value.get()) != VARIANT_FALSE;
}

void AccessKeep::ShowAsTheModeWants() {
  if (window_) ShowWindow(window_, userMode_ ? SW_HIDE : SW_SHOWNA);
}

HRESULT AccessKeep::SetClientSite(IOleClientSite* site) {
  Hold(clientSite_, site);
  ReadAmbientUserMode();
  ShowAsTheModeWants();
  return S_OK;
}

HRESULT AccessKeep::GetClientSite(IOleClientSite** site) { return HandOut(clientSite_.get(), site); }

HRESULT AccessKeep::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT AccessKeep::Close(DWORD saveOption) {
  if (saveOption != OLECLOSE_SAVEIFDIRTY && saveOption != OLECLOSE_NOSAVE && saveOption != OLECLOSE_PROMPTSAVE)
    return E_INVALIDARG;
  // Never dirty, so nothing to save. Back to the loaded state: no window, no in-place site; the
  // client site stays until the container takes it back.
  InPlaceDeactivate();
  viewSink_.reset();
  if (adviseHolder_) adviseHolder_->SendOnClose();
  return S_OK;
}

void AccessKeep::Disconnect() {
  InPlaceDeactivate();
  events_.DisconnectAll();
  viewSink_.reset();
  adviseHolder_.reset();
  clientSite_.reset();
}

HRESULT AccessKeep::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT AccessKeep::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (!moniker) return E_POINTER;
  *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT AccessKeep::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT AccessKeep::GetClipboardData(DWORD, IDataObject** data) {
  if (!data) return E_POINTER;
  *data = nullptr;
  return E_NOTIMPL;
}

// --- Verbs and activation in place ------------------------------------------------------------

HRESULT AccessKeep::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND parent, LPCRECT position) {
  IOleClientSite* site = activeSite ? activeSite : clientSite_.get();
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:  // nothing to type into: in place is as far as it goes
      return ActivateInPlace(site, parent, position);
    case OLEIVERB_HIDE:
      if (window_) ShowWindow(window_, SW_HIDE);
      return S_OK;
    case OLEIVERB_DISCARDUNDOSTATE:
      return S_OK;
    default:
      // A verb of its own that the control does not have counts as the primary one.
      if (verb > 0) {
        HRESULT hr = ActivateInPlace(site, parent, position);
        return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
      }
      return E_NOTIMPL;  // opening in a window of its own, property pages: it has neither
  }
}

HRESULT AccessKeep::ActivateInPlace(IOleClientSite* site, HWND parent, LPCRECT position) {
  // The window went with the container's: whatever was active is over, and starts anew.
  if (!window_ && inPlaceSite_) InPlaceDeactivate();
  if (window_) {
    if (position) SetObjectRects(position, position);
    ShowAsTheModeWants();
    return S_OK;
  }
  if (!site) return E_UNEXPECTED;
  winapp::ComPtr<IOleInPlaceSite> inPlace;
  HRESULT hr = site->QueryInterface(IID_IOleInPlaceSite, inPlace.put_void());
  if (FAILED(hr)) return hr;
  if (inPlace->CanInPlaceActivate() != S_OK) return OLEOBJ_S_CANNOT_DOVERB_NOW;
  hr = inPlace->OnInPlaceActivate();
  if (FAILED(hr)) return hr;

  HWND parentWindow = nullptr;
  if (FAILED(inPlace->GetWindow(&parentWindow)) || !parentWindow) parentWindow = parent;
  RECT place{}, clip{};
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  winapp::ComPtr<IOleInPlaceFrame> frame;
  winapp::ComPtr<IOleInPlaceUIWindow> document;
  inPlace->GetWindowContext(frame.put(), document.put(), &place, &clip, &frameInfo);
  if (position) place = *position;

  window_ = CreateFaceWindow(parentWindow, place, !userMode_, this);
  if (!window_) {
    inPlace->OnInPlaceDeactivate();
    return E_FAIL;
  }
  *inPlaceSite_.put() = inPlace.detach();
  if (!userMode_) site->ShowObject();
  return S_OK;
}

HRESULT AccessKeep::InPlaceDeactivate() {
  // Out of the member before the call: the container may call back in.
  winapp::ComPtr<IOleInPlaceSite> site(std::move(inPlaceSite_));
  if (!site) return S_OK;  // not active
  // Active in place means a window was made, whether or not it is still there.
  DestroyFaceWindow(std::exchange(window_, nullptr));
  site->OnInPlaceDeactivate();
  return S_OK;
}

HRESULT AccessKeep::UIDeactivate() { return S_OK; }

HRESULT AccessKeep::SetObjectRects(LPCRECT position, LPCRECT) {
  if (!position) return E_POINTER;
  if (window_)
    SetWindowPos(window_, nullptr, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return S_OK;
}

HRESULT AccessKeep::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

HRESULT AccessKeep::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}

HRESULT AccessKeep::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// Never active for the user interface: no keys of its own, no frame tools.
HRESULT AccessKeep::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT AccessKeep::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT AccessKeep::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT AccessKeep::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT AccessKeep::EnableModeless(BOOL) { return S_OK; }

HRESULT AccessKeep::EnumVerbs(IEnumOLEVERB** verbs) {
  if (!verbs) return E_POINTER;
  *verbs = nullptr;
  return OLEOBJ_E_NOVERBS;
}

HRESULT AccessKeep::Update() { return S_OK; }
HRESULT AccessKeep::IsUpToDate() { return S_OK; }

HRESULT AccessKeep::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT AccessKeep::GetUserType(DWORD form, LPOLESTR* type) {
  if (!type) return E_POINTER;
  if (SUCCEEDED(OleRegGetUserType(ClsId, form, type))) return S_OK;
  // Not registered (loaded from the program folder): the ProgID, as the registration names it.
  const size_t bytes = (wcslen(ProgIdW) + 1) * sizeof(wchar_t);
  *type = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!*type) return E_OUTOFMEMORY;
  memcpy(*type, ProgIdW, bytes);
  return S_OK;
}

// --- Extent and drawing -----------------------------------------------------------------------

HRESULT AccessKeep::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
  extent_ = *size;
  extentSet_ = true;
  return S_OK;
}

HRESULT AccessKeep::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extentSet_ ? extent_ : PixelsToHimetric(LogoSize());
  return S_OK;
}

HRESULT AccessKeep::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, SIZEL* size) { return GetExtent(aspect, size); }

HRESULT AccessKeep::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                         BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (!Drawable(aspect)) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  const RECT place{bounds->left, bounds->top, bounds->right, bounds->bottom};
  return DrawFace(dc, place) ? S_OK : E_FAIL;
}

HRESULT AccessKeep::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
  if (!colours) return E_POINTER;
  *colours = nullptr;
  return S_FALSE;
}

HRESULT AccessKeep::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze) *freeze = 0;
  return E_NOTIMPL;
}

HRESULT AccessKeep::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT AccessKeep::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  Hold(viewSink_, sink);
  viewAspects_ = sink ? aspects : 0;
  viewFlags_ = sink ? flags : 0;
  if (sink && (flags & ADVF_PRIMEFIRST)) sink->OnViewChange(aspects, -1);
  return S_OK;
}

HRESULT AccessKeep::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) HandOut(viewSink_.get(), sink);
  return S_OK;
}

// --- Advise sinks, status, ambient changes ----------------------------------------------------

HRESULT AccessKeep::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!connection) return E_POINTER;
  *connection = 0;
  if (!sink) return E_INVALIDARG;
  if (!adviseHolder_) {
    HRESULT hr = CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, connection);
}

HRESULT AccessKeep::Unadvise(DWORD connection) {
  return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT AccessKeep::EnumAdvise(IEnumSTATDATA** advise) {
  if (!advise) return E_POINTER;
  *advise = nullptr;
  return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : S_OK;
}

HRESULT AccessKeep::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = MiscStatus;
  return S_OK;
}

HRESULT AccessKeep::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

HRESULT AccessKeep::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  // No mnemonics: the control takes no keys.
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT AccessKeep::OnMnemonic(MSG*) { return S_OK; }

HRESULT AccessKeep::OnAmbientPropertyChange(DISPID id) {
  if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
    ReadAmbientUserMode();
    ShowAsTheModeWants();
  }
  return S_OK;
}

// No events are ever raised, so there are none to hold back.
HRESULT AccessKeep::FreezeEvents(BOOL) { return S_OK; }

// --- Saving and loading: no properties --------------------------------------------------------

HRESULT AccessKeep::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = ClsId;
  return S_OK;
}

HRESULT AccessKeep::IsDirty() { return S_FALSE; }
HRESULT AccessKeep::InitNew() { return S_OK; }
HRESULT AccessKeep::Load(IStream* stream) { return stream ? S_OK : E_POINTER; }
HRESULT AccessKeep::Save(IStream* stream, BOOL) { return stream ? S_OK : E_POINTER; }

HRESULT AccessKeep::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

HRESULT AccessKeep::Load(IPropertyBag* bag, IErrorLog*) { return bag ? S_OK : E_POINTER; }
HRESULT AccessKeep::Save(IPropertyBag* bag, BOOL, BOOL) { return bag ? S_OK : E_POINTER; }

HRESULT AccessKeep::InitNew(IStorage* storage) { return storage ? S_OK : E_POINTER; }
HRESULT AccessKeep::Load(IStorage* storage) { return storage ? S_OK : E_POINTER; }
HRESULT AccessKeep::Save(IStorage* storage, BOOL) { return storage ? S_OK : E_POINTER; }
HRESULT AccessKeep::SaveCompleted(IStorage*) { return S_OK; }
HRESULT AccessKeep::HandsOffStorage() { return S_OK; }

// --- Events and quick activation --------------------------------------------------------------

HRESULT AccessKeep::EnumConnectionPoints(IEnumConnectionPoints** points) {
  return EnumerateEventPoint(&events_, points);
}

HRESULT AccessKeep::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (!IsEqualIID(riid, IID_AccessKeepEvents)) return CONNECT_E_NOCONNECTION;
  return HandOut<IConnectionPoint>(&events_, point);
}

HRESULT AccessKeep::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (!container || !control) return E_POINTER;
  // Containers of every age: what the control reads lies at the start of the structure.
  if (container->cbSize < offsetof(QACONTAINER, colorFore) || control->cbSize < sizeof(QACONTROL))
    return E_INVALIDARG;
  SetClientSite(container->pClientSite);
  userMode_ = (container->dwAmbientFlags & QACONTAINER_USERMODE) != 0;
  ShowAsTheModeWants();
  if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
  control->dwEventCookie = 0;
  if (container->pUnkEventSink) events_.Advise(container->pUnkEventSink, &control->dwEventCookie);
  control->dwMiscStatus = MiscStatus;
  control->dwViewStatus = VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND;
  control->dwPropNotifyCookie = 0;
  control->dwPointerActivationPolicy = 0;
  return S_OK;
}

HRESULT AccessKeep::SetContentExtent(SIZEL* size) { return SetExtent(DVASPECT_CONTENT, size); }
HRESULT AccessKeep::GetContentExtent(SIZEL* size) { return GetExtent(DVASPECT_CONTENT, size); }

}  // namespace accesskeep
