#include "events.h"

#include <new>
#include <vector>

#include "accesskeep_ids.h"
#include "module.h"

namespace accesskeep {

namespace {

// What an enumerator hands out keeps its own reference, as does each copy handed out.
void Hold(IConnectionPoint* point) { point->AddRef(); }
void LetGo(IConnectionPoint* point) { point->Release(); }
void Hold(const CONNECTDATA& data) { data.pUnk->AddRef(); }
void LetGo(const CONNECTDATA& data) { data.pUnk->Release(); }

// A snapshot of items, walked by Next/Skip/Reset and copied by Clone: the shape every OLE
// enumerator shares. A live object of the library while someone holds it.
template <class Interface, class Item>
class Enumerator final : public Interface {
 public:
  Enumerator(const IID& iid, std::vector<Item> items, size_t next = 0)
      : iid_(iid), items_(std::move(items)), next_(next) {
    for (const Item& item : items_) Hold(item);
    LockModule();
  }
  Enumerator(const Enumerator&) = delete;
  Enumerator& operator=(const Enumerator&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
      *ppv = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, Item* out, ULONG* fetched) override {
    if (!out || (wanted != 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < wanted && next_ < items_.size(); ++n, ++next_) {
      out[n] = items_[next_];
      Hold(out[n]);
    }
    if (fetched) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    size_t left = items_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** copy) override {
    if (!copy) return E_POINTER;
    *copy = new (std::nothrow) Enumerator(iid_, items_, next_);
    return *copy ? S_OK : E_OUTOFMEMORY;
  }

 private:
  ~Enumerator() {
    for (const Item& item : items_) LetGo(item);
    UnlockModule();
  }

  const IID& iid_;
  std::vector<Item> items_;
  size_t next_;
  LONG refs_ = 1;
};

}  // namespace

HRESULT EventPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT EventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = IID_AccessKeepEvents;
  return S_OK;
}

HRESULT EventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = owner_;
  owner_->AddRef();
  return S_OK;
}

HRESULT EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  // The sink of the event interface itself; a plain IDispatch sink is taken too, as the event
  // interface is a dispatch interface and would be called through IDispatch::Invoke alone.
  winapp::ComPtr<IUnknown> held;
  if (FAILED(sink->QueryInterface(IID_AccessKeepEvents, held.put_void())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, held.put_void())))
    return CONNECT_E_CANNOTCONNECT;
  try {
    sinks_.push_back({nextCookie_, std::move(held)});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *cookie = nextCookie_++;
  return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie != cookie) continue;
    // Out of the list before the release: a sink's release may call back into the control.
    winapp::ComPtr<IUnknown> leaving = std::move(it->sink);
    sinks_.erase(it);
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT EventPoint::EnumConnections(IEnumConnections** connections) {
  if (!connections) return E_POINTER;
  *connections = nullptr;
  try {
    std::vector<CONNECTDATA> items;
    for (const Connection& c : sinks_) items.push_back({c.sink.get(), c.cookie});
    *connections = new Enumerator<IEnumConnections, CONNECTDATA>(IID_IEnumConnections, std::move(items));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT EnumerateEventPoint(IConnectionPoint* point, IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  try {
    *out = new Enumerator<IEnumConnectionPoints, IConnectionPoint*>(IID_IEnumConnectionPoints, {point});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace accesskeep
