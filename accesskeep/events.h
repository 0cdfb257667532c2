// The control's event source: one connection point, for __AccessKeep. The control raises no
// events, but containers connect their event sinks to every control they host and disconnect them
// when they let the control go; the point keeps those connections, each with its cookie.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

namespace accesskeep {

class EventPoint final : public IConnectionPoint {
 public:
  // A part of the control `owner`, living and counted as long as it.
  explicit EventPoint(IConnectionPointContainer* owner) : owner_(owner) {}
  EventPoint(const EventPoint&) = delete;
  EventPoint& operator=(const EventPoint&) = delete;
  ~EventPoint() { DisconnectAll(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  // Lets every sink go (the control is going).
  void DisconnectAll();

 private:
  struct Connection {
    Connection* next;
    CONNECTDATA data;  // the sink, held, and its cookie
  };
  IConnectionPointContainer* owner_;
  Connection* sinks_ = nullptr;
  DWORD nextCookie_ = 1;
};

// The enumerator of the control's connection points: the one for __AccessKeep.
HRESULT EnumerateEventPoint(IConnectionPoint* point, IEnumConnectionPoints** out);

}  // namespace accesskeep
