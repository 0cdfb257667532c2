#include <windows.h>

#include "cleaners.h"
#include "raii.h"

namespace {

// The slots of the URL history object this step uses: the three of IUnknown, the five of
// IUrlHistoryStg, AddUrlAndNotify, then ClearHistory.
struct UrlHistoryStg2Vtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(void*);
  ULONG(STDMETHODCALLTYPE* Release)(void*);
  void* UrlHistoryStg[5];
  void* AddUrlAndNotify;
  HRESULT(STDMETHODCALLTYPE* ClearHistory)(void*);
};
struct UrlHistoryStg2 {
  const UrlHistoryStg2Vtbl* vtbl;
};

}  // namespace

HRESULT ClearUrlHistory() {
  // The class of the platform's URL history, and its IUrlHistoryStg2.
  const CLSID urlHistory = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
  const IID urlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

  // The object wants a single-threaded apartment; on a thread that has one already this only
  // counts up, and the count goes down again on return.
  winapp::ComApartment apartment;
  UrlHistoryStg2* history = nullptr;
  HRESULT hr = CoCreateInstance(urlHistory, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                urlHistoryStg2, reinterpret_cast<void**>(&history));
  if (hr != S_OK || !history) return FAILED(hr) ? hr : E_NOINTERFACE;
  history->vtbl->ClearHistory(history);
  history->vtbl->Release(history);
  return S_OK;
}
