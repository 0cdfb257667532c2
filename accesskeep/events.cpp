#include "events.h"

#include <new>

#include "accesskeep_ids.h"
#include "module.h"
#include "raii.h"

namespace accesskeep {

namespace {

// A snapshot of connections (or of connection points, each as the pUnk of an item), walked by
// Next/Skip/Reset and copied by Clone: the shape every OLE enumerator shares. Each item keeps its
// reference while the enumerator lives, and each item handed out carries one of its own. A live
// object of the library while someone holds it.
class Enumerator final : public IEnumConnections, public IEnumConnectionPoints {
 public:
  // Takes `items` (allocated with new[]) and a reference to each item's object.
  static HRESULT Create(bool points, CONNECTDATA* items, ULONG count, ULONG next, void** out) {
    auto* e = new (std::nothrow) Enumerator(points, items, count, next);
    if (!e) {
      for (ULONG i = 0; i < count; ++i) items[i].pUnk->Release();
      delete[] items;
      *out = nullptr;
      return E_OUTOFMEMORY;
    }
    *out = points ? static_cast<void*>(static_cast<IEnumConnectionPoints*>(e))
                  : static_cast<void*>(static_cast<IEnumConnections*>(e));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, points_ ? IID_IEnumConnectionPoints : IID_IEnumConnections)) {
      *ppv = points_ ? static_cast<void*>(static_cast<IEnumConnectionPoints*>(this))
                     : static_cast<void*>(static_cast<IEnumConnections*>(this));
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

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, CONNECTDATA* out, ULONG* fetched) override {
    if (!out || (wanted != 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < wanted && next_ < count_; ++n, ++next_) {
      out[n] = items_[next_];
      out[n].pUnk->AddRef();
    }
    if (fetched) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, IConnectionPoint** out, ULONG* fetched) override {
    if (!out || (wanted != 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < wanted && next_ < count_; ++n, ++next_) {
      out[n] = static_cast<IConnectionPoint*>(items_[next_].pUnk);
      out[n]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = count_ - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** copy) override { return CloneInto(copy); }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override { return CloneInto(copy); }

 private:
  Enumerator(bool points, CONNECTDATA* items, ULONG count, ULONG next)
      : points_(points), items_(items), count_(count), next_(next) {
    LockModule();
  }
  ~Enumerator() {
    for (ULONG i = 0; i < count_; ++i) items_[i].pUnk->Release();
    delete[] items_;
    UnlockModule();
  }

  template <class Interface>
  HRESULT CloneInto(Interface** copy) {
    if (!copy) return E_POINTER;
    *copy = nullptr;
    auto* items = new (std::nothrow) CONNECTDATA[count_ ? count_ : 1];
    if (!items) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < count_; ++i) {
      items[i] = items_[i];
      items[i].pUnk->AddRef();
    }
    return Create(points_, items, count_, next_, reinterpret_cast<void**>(copy));
  }

  const bool points_;
  CONNECTDATA* items_;
  const ULONG count_;
  ULONG next_;
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
  auto* connection = new (std::nothrow) Connection{sinks_, {held.get(), nextCookie_}};
  if (!connection) return E_OUTOFMEMORY;
  held.detach();
  sinks_ = connection;
  *cookie = nextCookie_++;
  return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie) {
  for (Connection** at = &sinks_; *at; at = &(*at)->next) {
    if ((*at)->data.dwCookie != cookie) continue;
    // Out of the list before the release: a sink's release may call back into the control.
    Connection* leaving = *at;
    *at = leaving->next;
    leaving->data.pUnk->Release();
    delete leaving;
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

void EventPoint::DisconnectAll() {
  while (sinks_) Unadvise(sinks_->data.dwCookie);
}

HRESULT EventPoint::EnumConnections(IEnumConnections** connections) {
  if (!connections) return E_POINTER;
  *connections = nullptr;
  ULONG count = 0;
  for (Connection* c = sinks_; c; c = c->next) ++count;
  auto* items = new (std::nothrow) CONNECTDATA[count ? count : 1];
  if (!items) return E_OUTOFMEMORY;
  // Oldest first, as they were advised.
  ULONG i = count;
  for (Connection* c = sinks_; c; c = c->next) {
    items[--i] = c->data;
    c->data.pUnk->AddRef();
  }
  return Enumerator::Create(false, items, count, 0, reinterpret_cast<void**>(connections));
}

HRESULT EnumerateEventPoint(IConnectionPoint* point, IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* items = new (std::nothrow) CONNECTDATA[1];
  if (!items) return E_OUTOFMEMORY;
  items[0] = {point, 0};
  point->AddRef();
  return Enumerator::Create(true, items, 1, 0, reinterpret_cast<void**>(out));
}

}  // namespace accesskeep
